// How a list shares its width among its columns.
#include <QTest>

#include "core/columnfit.h"

using melorin::core::fitColumnWidths;

Q_DECLARE_METATYPE(std::vector<int>)

class TestColumnFit : public QObject {
    Q_OBJECT
private slots:
    void fit_data() {
        QTest::addColumn<std::vector<int>>("wanted");
        QTest::addColumn<std::vector<int>>("least");
        QTest::addColumn<int>("available");
        QTest::addColumn<std::vector<int>>("widths");
        using V = std::vector<int>;
        QTest::newRow("all fit: each as its content")
            << V{44, 90, 270, 64} << V{44, 64, 64, 64} << 500 << V{44, 90, 270, 64};
        QTest::newRow("the widest narrowed until the rest is in view")
            << V{44, 90, 400, 64, 64} << V{44, 64, 64, 64, 64} << 500 << V{44, 90, 238, 64, 64};
        QTest::newRow("two wide columns share what is left")
            << V{44, 60, 300, 64, 64, 300} << V{44, 60, 64, 64, 64, 64} << 560
            << V{44, 60, 164, 64, 64, 164};
        QTest::newRow("a column is never narrower than its least")
            << V{44, 300} << V{44, 120} << 100 << V{44, 120};
        QTest::newRow("no columns") << V{} << V{} << 100 << V{};
    }
    void fit() {
        QFETCH(std::vector<int>, wanted);
        QFETCH(std::vector<int>, least);
        QFETCH(int, available);
        QFETCH(std::vector<int>, widths);
        QCOMPARE(fitColumnWidths(wanted, least, available), widths);
    }
};

QTEST_GUILESS_MAIN(TestColumnFit)
#include "test_columnfit.moc"
