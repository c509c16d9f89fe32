// Any bytes as a page give rows or none, in bounded time: random bytes, cut GBK sequences,
// a 50 MB page, 100 000 links.
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QtTest>

#include "search/listpage.h"
#include "search/resultpage.h"
#include "tests/search/pagefixture.h"

using namespace melorin::search;
using namespace melorin::search::gbk;
using namespace melorin::search::testing;

namespace {

const std::string kPrefix = "http://mp3.baidu.com/r?url=";

ResultPageOutput parse(const std::vector<std::string>& lines, const std::vector<PageLink>& links,
                       int kind, const std::vector<std::string>& existing = {}) {
    ResultPageInput in;
    in.lines = lines;
    in.links = links;
    in.kindIndex = kind;
    in.headerIcon = kind;
    in.rowsBefore = existing.size();
    in.listed = listedIn(existing);
    return parseResultPage(Hosts{}, SearchState{1, 0, false, ""}, in);
}

// What every parse must give, whatever the page: numbered rows, counted, none repeated.
void checkSane(const ResultPageOutput& out, std::size_t linkCount, std::size_t lineCount,
               std::size_t existing = 0) {
    QVERIFY(out.rows.size() <= linkCount + lineCount);
    QCOMPARE(static_cast<std::size_t>(out.state.searchRowCount), out.rows.size());
    for (std::size_t i = 0; i < out.rows.size(); ++i)
        QCOMPARE(out.rows[i].caption, std::to_string(existing + i + 1));
    QCOMPARE(out.requestNextPage, !out.rows.empty());
}

std::string randomBytes(QRandomGenerator& rng, int maxLen) {
    std::string s(static_cast<std::size_t>(rng.bounded(maxLen + 1)), '\0');
    for (auto& c : s) c = static_cast<char>(rng.bounded(256));
    return s;
}

std::string resultLine(std::size_t i) {
    return "  " + std::to_string(i) + "  song" + std::to_string(i) +
           "  singer  \xCA\xD4\xCC\xFD \xB8\xE8\xB4\xCA  3.1 Mmp3";
}

}  // namespace

class TestRobustness : public QObject {
    Q_OBJECT
private slots:
    void randomPages();
    void cutGbkSequences();
    void fiftyMegabytePage();
    void fiftyMegabyteLineWithoutBreaks();
    void hundredThousandLinks();
    void hundredThousandFlashLines();
};

void TestRobustness::randomPages() {
    QRandomGenerator rng(20050301);
    for (int round = 0; round < 300; ++round) {
        std::vector<std::string> lines;
        const int lineCount = rng.bounded(40);
        for (int i = 0; i < lineCount; ++i) lines.push_back(randomBytes(rng, 60));
        // Some rounds get real markers so the deeper steps run on garbage too.
        if (round % 3 == 0 && !lines.empty())
            lines[0] = std::string(gbk::kCountMarker) + randomBytes(rng, 8) + "\xC6\xAA";
        if (round % 4 == 0 && lineCount > 12)
            lines[11] = randomBytes(rng, 10) + std::string(gbk::kAuthor) + std::string(gbk::kSize);
        std::vector<PageLink> links;
        const int linkCount = rng.bounded(30);
        for (int i = 0; i < linkCount; ++i) {
            std::string href = randomBytes(rng, 40);
            if (rng.bounded(2)) href = kPrefix + href;
            if (rng.bounded(4) == 0) href = "http://mp3.baidu.com/m?lm=" + href + "&ip=" + href;
            links.push_back({href, randomBytes(rng, 6)});
        }
        const auto out = parse(lines, links, rng.bounded(-1, 7));
        checkSane(out, links.size(), lines.size());
        readListPage(Hosts{}, links, 0);
        splitLines(randomBytes(rng, 200));
    }
}

void TestRobustness::cutGbkSequences() {
    // Every line and link text of the fixture cut after each byte in turn.
    const FixturePage f = fixturePage("mp3_page.txt");
    for (std::size_t cut = 0; cut < 40; ++cut) {
        std::vector<std::string> lines;
        for (const auto& l : f.lines) lines.push_back(l.substr(0, std::min(l.size(), cut)));
        std::vector<PageLink> links = f.links;
        for (auto& l : links) l.text = l.text.substr(0, std::min(l.text.size(), cut % 7));
        const auto out = parse(lines, links, 0);
        checkSane(out, links.size(), lines.size());
        // The six distinct result addresses come out whatever their lines look like.
        QCOMPARE(out.rows.size(), std::size_t{6});
    }
}

void TestRobustness::fiftyMegabytePage() {
    std::vector<std::string> lines;
    std::size_t bytes = 0;
    for (std::size_t i = 0; bytes < 50u << 20; ++i) {
        lines.push_back(resultLine(i));
        bytes += lines.back().size() + 2;
    }
    // 60 links whose texts sit at the very end, and one that is nowhere: the whole page is read.
    std::vector<PageLink> links;
    for (std::size_t i = lines.size() - 60; i < lines.size(); ++i)
        links.push_back({kPrefix + "f" + std::to_string(i), "song" + std::to_string(i) + " "});
    links.push_back({kPrefix + "missing", "no such song"});
    QElapsedTimer t;
    t.start();
    const auto out = parse(lines, links, 0);
    qInfo("50 MB page (%zu lines): %lld ms", lines.size(), static_cast<long long>(t.elapsed()));
    checkSane(out, links.size(), lines.size());
    QCOMPARE(out.rows.size(), std::size_t{61});
    QCOMPARE(out.rows[0].size, std::string("3.1M"));
    QCOMPARE(out.rows[59].type, std::string("mp3"));
    QCOMPARE(out.rows[60].size, std::string("3.1M"));  // not found: read from line 0
}

void TestRobustness::fiftyMegabyteLineWithoutBreaks() {
    std::vector<std::string> lines{std::string(50u << 20, 'M')};
    const std::vector<PageLink> links{{kPrefix + "a", std::string(1000, 'M') + "x"},
                                      {kPrefix + "b", std::string(1000, 'M')}};
    const auto out = parse(lines, links, 5);
    checkSane(out, links.size(), lines.size());
    QCOMPARE(out.rows.size(), std::size_t{2});
    QCOMPARE(out.rows[1].size, std::string("MMMM"));
}

void TestRobustness::hundredThousandLinks() {
    constexpr std::size_t kLinks = 100000;
    std::vector<std::string> lines{"header"};
    std::vector<PageLink> links;
    for (std::size_t i = 0; i < kLinks; ++i) {
        lines.push_back(resultLine(i));
        // Every second link repeats the address before it.
        const std::size_t file = i - i % 2;
        links.push_back(
            {kPrefix + "http://h/" + std::to_string(file), "song" + std::to_string(i) + " "});
    }
    const std::vector<std::string> existing{"http://h/0"};
    QElapsedTimer t;
    t.start();
    const auto out = parse(lines, links, 1, existing);
    qInfo("100 000 links: %lld ms", static_cast<long long>(t.elapsed()));
    checkSane(out, links.size(), lines.size(), existing.size());
    QCOMPARE(out.rows.size(), kLinks / 2 - 1);
    QCOMPARE(out.rows.back().title, "song" + std::to_string(kLinks - 2) + " ");
    QCOMPARE(out.rows.back().size, std::string("3.1M"));
}

void TestRobustness::hundredThousandFlashLines() {
    constexpr std::size_t kLines = 100000;
    std::vector<std::string> lines(10, "head");
    std::vector<PageLink> links;
    for (std::size_t i = 0; i < kLines; ++i) {
        lines.push_back("clip" + std::to_string(i) + "[swf] " + std::string(gbk::kAuthor) + ":a " +
                        std::string(gbk::kSize) + ":1M");
        links.push_back({"http://x/" + std::to_string(i), "clip" + std::to_string(i)});
    }
    lines.resize(lines.size() + 4, "tail");
    const auto out = parse(lines, links, 5);
    checkSane(out, links.size(), lines.size());
    QCOMPARE(out.rows.size(), kLines);
    // "clip1" occurs in "clip12345": the earlier link wins.
    QCOMPARE(out.rows[12345].address, std::string("http://x/1"));
    QCOMPARE(out.rows[0].address, std::string("http://x/0"));
}

QTEST_GUILESS_MAIN(TestRobustness)
#include "test_robustness.moc"
