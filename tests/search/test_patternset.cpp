// The one-pass text lookup against plain searching, on texts over tiny alphabets where
// patterns overlap, nest and repeat.
#include <QRandomGenerator>
#include <QtTest>
#include <string>
#include <vector>

#include "search/patternset.h"

using melorin::search::PatternSet;

class TestPatternSet : public QObject {
    Q_OBJECT
private slots:
    void agreesWithPlainSearch_data();
    void agreesWithPlainSearch();
};

void TestPatternSet::agreesWithPlainSearch_data() {
    QTest::addColumn<QByteArray>("alphabet");
    QTest::addColumn<int>("maxPattern");
    QTest::newRow("two letters") << QByteArray("ab") << 4;
    QTest::newRow("three letters, longer patterns") << QByteArray("abc") << 7;
    QTest::newRow("high bytes") << QByteArray("\xC6\xAA\xFF") << 5;
}

void TestPatternSet::agreesWithPlainSearch() {
    QFETCH(QByteArray, alphabet);
    QFETCH(int, maxPattern);
    const std::string letters = alphabet.toStdString();
    QCOMPARE(letters.size(), std::size_t(alphabet.size()));
    QRandomGenerator rng(7);
    auto randomText = [&](int maxLen) {
        std::string s(static_cast<std::size_t>(rng.bounded(maxLen + 1)), 'a');
        for (auto& c : s) c = letters[static_cast<std::size_t>(rng.bounded(int(letters.size())))];
        return s;
    };
    for (int round = 0; round < 400; ++round) {
        std::vector<std::string> owned;
        for (int i = rng.bounded(1, 12); i > 0; --i) owned.push_back(randomText(maxPattern));
        std::vector<std::string_view> patterns(owned.begin(), owned.end());
        const std::string text = randomText(60);

        PatternSet set(patterns);
        PatternSet::FirstOccurrences first(set);
        // Fed in uneven pieces, as a page is fed line by line.
        for (std::size_t at = 0; at < text.size();) {
            const auto len = static_cast<std::size_t>(rng.bounded(1, 9));
            first.feed(std::string_view(text).substr(at, len));
            at += len;
        }
        std::vector<std::int64_t> weights;
        std::int64_t least = -1;
        for (std::size_t i = 0; i < owned.size(); ++i) {
            const auto found = owned[i].empty() ? std::string::npos : text.find(owned[i]);
            QCOMPARE(first.start(i),
                     found == std::string::npos ? std::int64_t{-1} : std::int64_t(found));
            weights.push_back(rng.bounded(100));
            if (found != std::string::npos && (least < 0 || weights.back() < least))
                least = weights.back();
        }
        set.setWeights(weights);
        QCOMPARE(set.leastWeightIn(text, -1), least);
    }
}

QTEST_GUILESS_MAIN(TestPatternSet)
#include "test_patternset.moc"
