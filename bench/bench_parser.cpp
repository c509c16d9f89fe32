// Result page parser throughput on a realistic 60-row page and on a 50 MB page; the player
// page scan on hostile pages of 20,000 OBJECT tags that never close (player objects, where the
// scan stops after the few that get players, and others, which it reads to the end), beside a
// bare pass that only counts the page's "<" (the least any scan must do).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "player/pageobjects.h"
#include "player/playerpages.h"
#include "search/bytetext.h"
#include "search/resultpage.h"

using namespace melorin::search;
using namespace melorin::search::gbk;

namespace {

const std::string kPrefix = "http://mp3.baidu.com/r?url=";
// 试听 歌词 铃声 in GBK
const std::string kListen = "\xCA\xD4\xCC\xFD";
const std::string kWords = "\xB8\xE8\xB4\xCA \xC1\xE5\xC9\xF9";

struct Page {
    std::vector<std::string> lines;
    std::vector<PageLink> links;
    std::size_t bytes = 0;
};

std::string resultLine(std::size_t i) {
    static const char* kUnits[] = {" Mmp3", " Kwma", " Mrm", " Kasf"};
    return "  " + std::to_string(i + 1) + "  song" + std::to_string(i) + "  singer" +
           std::to_string(i % 17) + "  " + kListen + " " + kWords + "  " +
           std::to_string(1 + i % 9) + "." + std::to_string(i % 10) + kUnits[i % 4];
}

// A result page as the service lays it out: header, count line, rows, paging links.
Page realisticPage(std::size_t rows, std::size_t fillerBytes, bool textsAtEnd) {
    Page p;
    p.lines = {"Baidu | login", "news  web  mp3  images",
               std::string(gbk::kCountMarker) + "5700" + std::string(gbk::kCountEnd)};
    for (std::size_t i = 0; !textsAtEnd && i < rows; ++i) p.lines.push_back(resultLine(i));
    // Filler rows up to `fillerBytes` of page text.
    for (std::size_t i = 0, n = 0; n < fillerBytes; ++i) {
        p.lines.push_back(resultLine(rows + i));
        n += p.lines.back().size() + 2;
    }
    for (std::size_t i = 0; textsAtEnd && i < rows; ++i) p.lines.push_back(resultLine(i));
    p.lines.push_back("next page 2 3 4 5 6 7 8 9 10");
    p.links.push_back({"http://www.baidu.com/", "Baidu"});
    for (std::size_t i = 0; i < rows; ++i) {
        const std::string addr = kPrefix + "http://music.example.org/" + std::to_string(i) + ".mp3";
        p.links.push_back({addr, "song" + std::to_string(i) + " "});
        p.links.push_back({addr, kListen});
        p.links.push_back({"http://mp3.baidu.com/lrc?" + std::to_string(i), kWords});
    }
    for (int pg = 2; pg <= 10; ++pg)
        p.links.push_back({"http://mp3.baidu.com/m?lm=0&ct=134217728&tn=baidump3&word=x&pn=" +
                               std::to_string(pg * 30) + "&ip=61.135.1.2&cl=3&z=0",
                           std::to_string(pg)});
    for (const auto& l : p.lines) p.bytes += l.size() + 2;
    for (const auto& l : p.links) p.bytes += l.href.size() + l.text.size();
    return p;
}

struct Timing {
    int runs = 0;
    double seconds = 0;
};

// Runs `run` until `minSeconds` have passed or `maxRuns` runs are done.
template <typename Run>
Timing timeRuns(double minSeconds, int maxRuns, Run run) {
    using clock = std::chrono::steady_clock;
    const auto start = clock::now();
    Timing t;
    do {
        run();
        ++t.runs;
        t.seconds = std::chrono::duration<double>(clock::now() - start).count();
    } while (t.seconds < minSeconds && t.runs < maxRuns);
    return t;
}

void report(const char* name, std::size_t bytes, std::size_t found, const char* what,
            const Timing& t) {
    const double mb = static_cast<double>(bytes) / (1024.0 * 1024.0);
    std::printf("%-44s %8.2f MB  %5zu %-5s %6d runs  %9.3f ms/page  %8.1f MB/s\n", name, mb, found,
                what, t.runs, t.seconds * 1000.0 / t.runs, mb * t.runs / t.seconds);
}

void measure(const char* name, const Page& p, double minSeconds, int maxRuns) {
    ResultPageInput in;
    in.lines = p.lines;
    in.links = p.links;
    in.countLabelInitial = true;
    std::size_t rows = 0;
    const Timing t = timeRuns(minSeconds, maxRuns, [&] {
        rows = parseResultPage(Hosts{}, SearchState{1, 0, false, ""}, in).rows.size();
    });
    report(name, p.bytes, rows, "rows", t);
}

template <typename Scan>
void measureScan(const char* name, const std::string& page, Scan scan) {
    std::size_t found = 0;
    const Timing t = timeRuns(2.0, 100000, [&] { found = scan(page); });
    report(name, page.size(), found, "found", t);
}

// 20,000 OBJECT tags that never close, each with its parameter, of the given class.
std::string unclosedObjects(std::string_view classId) {
    std::string page = "<html><body>";
    for (int i = 0; i < 20000; ++i) {
        page += "<OBJECT CLASSID=\"" + std::string(classId) +
                "\"><param name=\"SRC\" value=\"http://h/" + std::to_string(i) + ".rm\">";
    }
    return page;
}

void measurePageScan() {
    const auto objects = [](const std::string& p) {
        return melorin::player::playerObjectsOf(p).size();
    };
    const std::string players = unclosedObjects(melorin::player::kRealClassId);
    measureScan("player page: 20,000 unclosed player OBJECTs", players, objects);
    const std::string others = unclosedObjects("clsid:00000000-0000-0000-0000-000000000000");
    measureScan("player page: 20,000 unclosed other OBJECTs", others, objects);
    measureScan("reference: counting its \"<\"", others, [](const std::string& p) {
        return static_cast<std::size_t>(std::count(p.begin(), p.end(), '<'));
    });
}

}  // namespace

int main() {
    measurePageScan();
    measure("60-row page", realisticPage(60, 0, false), 2.0, 200000);
    const std::size_t filler = 50u << 20;
    measure("50 MB page, rows at the top", realisticPage(60, filler, false), 3.0, 50);
    measure("50 MB page, rows at the end (full scan)", realisticPage(60, filler, true), 3.0, 50);
    return 0;
}
