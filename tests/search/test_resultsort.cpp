// What the result list sorts by: size texts as pages and catalogues write them, read as bytes.
#include <QtTest>

#include "search/cataloguetext.h"
#include "search/resultsort.h"

using melorin::search::runningNumber;
using melorin::search::sizeInBytes;

class ResultSortTest : public QObject {
    Q_OBJECT
private slots:
    void sizes_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("bytes");  // -1: no size
        QTest::newRow("page MiB") << QStringLiteral("3.5M") << qint64(3670016);
        QTest::newRow("page KiB") << QStringLiteral("512K") << qint64(524288);
        QTest::newRow("blank before unit") << QStringLiteral("2.4 M") << qint64(2516582);
        QTest::newRow("cut after the point") << QStringLiteral("12.M") << qint64(12582912);
        QTest::newRow("bytes") << QStringLiteral("7 B") << qint64(7);
        QTest::newRow("MB, lower case") << QStringLiteral(" 1.5mb ") << qint64(1572864);
        QTest::newRow("GB") << QStringLiteral("1G") << qint64(1073741824);
        QTest::newRow("empty") << QString() << qint64(-1);
        QTest::newRow("no unit") << QStringLiteral("3.5") << qint64(-1);
        QTest::newRow("no number") << QStringLiteral("M") << qint64(-1);
        QTest::newRow("two points") << QStringLiteral("1.2.3M") << qint64(-1);
        QTest::newRow("trailing text") << QStringLiteral("3.5Mmp3") << qint64(-1);
        QTest::newRow("negative") << QStringLiteral("-3M") << qint64(-1);
        QTest::newRow("absurd") << QStringLiteral("99999999999G") << qint64(-1);
    }
    void sizes() {
        QFETCH(QString, text);
        QFETCH(qint64, bytes);
        const std::optional<std::int64_t> read = sizeInBytes(text.toStdString());
        QCOMPARE(read.value_or(-1), bytes);
    }

    // What the catalogues write reads back in the same order as the bytes it came from.
    void catalogueSizesKeepTheirOrder() {
        std::int64_t before = -1;
        for (const std::int64_t bytes : {700LL, 2048LL, 900'000LL, 1'100'000LL, 9'000'000LL}) {
            const std::optional<std::int64_t> read = sizeInBytes(melorin::search::sizeText(bytes));
            QVERIFY(read.has_value());
            QVERIFY(*read > before);
            before = *read;
        }
    }

    void numbers() {
        QCOMPARE(runningNumber("12"), std::optional<std::int64_t>(12));
        QCOMPARE(runningNumber(" 7 "), std::optional<std::int64_t>(7));
        QCOMPARE(runningNumber("<ref href = \"a\"/>"), std::nullopt);
        QCOMPARE(runningNumber(""), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(ResultSortTest)
#include "test_resultsort.moc"
