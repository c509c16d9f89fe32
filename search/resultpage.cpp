#include "search/resultpage.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "search/bytetext.h"
#include "search/patternset.h"

namespace melorin::search::gbk {

namespace {

constexpr int kFlashKind = static_cast<int>(MediaKind::Flash);
constexpr std::size_t kFlashMinLines = 15;
constexpr std::size_t kFlashFirstLine = 10;
constexpr std::size_t kFlashTailLines = 4;
constexpr std::string_view kLineBreak = "\r\n";

std::string countLabelFor(std::span<const std::string> lines) {
    std::string_view countLine;
    if (!lines.empty()) countLine = lines[0];
    for (const auto& line : lines) {
        if (contains(line, gbk::kCountMarker)) {
            countLine = line;
            break;
        }
    }
    // The count sits between the 20 marker bytes and the first 篇.
    const auto p = static_cast<long long>(pos(gbk::kCountEnd, countLine));
    std::string label(gbk::kCountLabelPrefix);
    label += midBytes(countLine, 21, p - 21);
    return label;
}

// For every text, in order, the index of the line that holds the first byte of its occurrence
// in the page text (the lines joined by CR LF): searched from just after the occurrence taken
// for the text before it, so that two links with the same text get a line each; from the page's
// start when it does not occur there. Line 0 for a text that does not occur at all.
std::vector<std::size_t> linesOfOccurrences(const std::vector<std::string_view>& texts,
                                            std::span<const std::string> lines) {
    std::vector<std::size_t> result(texts.size(), 0);
    if (texts.empty() || lines.empty()) return result;

    std::vector<std::int64_t> lineStart;
    lineStart.reserve(lines.size());
    std::int64_t total = 0;
    for (const auto& line : lines) {
        lineStart.push_back(total);
        total += static_cast<std::int64_t>(line.size() + kLineBreak.size());
    }
    // A text longer than the whole page cannot occur in it; leaving it out keeps the
    // automaton no bigger than the page.
    std::vector<std::string_view> patterns(texts.size());
    bool any = false;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (static_cast<std::int64_t>(texts[i].size()) <= total) {
            patterns[i] = texts[i];
            any = any || !texts[i].empty();
        }
    }
    if (!any) return result;

    const PatternSet set(patterns);
    PatternSet::FirstOccurrences scan(set);
    for (const auto& line : lines) {
        scan.feed(line);
        scan.feed(kLineBreak);
        if (scan.complete()) break;
    }

    // Only a text met again after its first occurrence needs the page as one text; most pages
    // list every title once, in order, and never build it.
    std::string page;
    const auto wholePage = [&]() -> std::string_view {
        if (page.empty()) {
            page.reserve(static_cast<std::size_t>(total));
            for (const auto& line : lines) page.append(line).append(kLineBreak);
        }
        return page;
    };
    // Where a text was last looked for in vain: it is not found from there on either.
    std::unordered_map<std::string_view, std::int64_t> absentFrom;
    std::int64_t from = 0;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        std::int64_t at = scan.start(i);
        if (at < 0) continue;
        if (at < from) {
            const auto known = absentFrom.find(texts[i]);
            if (known == absentFrom.end() || known->second > from) {
                const std::size_t later =
                    wholePage().find(texts[i], static_cast<std::size_t>(from));
                if (later == std::string_view::npos) {
                    absentFrom[texts[i]] = from;
                } else {
                    at = static_cast<std::int64_t>(later);
                }
            }
        }
        from = std::max(from, at + 1);
        const auto it = std::upper_bound(lineStart.begin(), lineStart.end(), at);
        result[i] = static_cast<std::size_t>(it - lineStart.begin()) - 1;
    }
    return result;
}

// Size and type from the trimmed line that holds a result link's text.
void sizeAndType(std::string_view line, ResultRow& row) {
    row.type = rightBytes(line, 3);
    const std::string_view t8 = rightBytes(line, 8);
    // No unit letter: no size (rather than the previous row's).
    row.size.clear();
    if (contains(t8, "M")) row.size = std::string(leftBytes(t8, 3)) + "M";
    if (contains(t8, "K")) row.size = std::string(leftBytes(t8, 3)) + "K";
    if (row.type == "Mrm" || row.type == "Krm") {
        const char unit = row.type[0];
        row.type = "rm";
        row.size = std::string(leftBytes(rightBytes(line, 7), 3)) + unit;
    }
}

// The FLASH pass: rows read from the result lines themselves, each linked to the first link
// whose text occurs in its title.
void flashTextPass(std::span<const PageLink> links, std::span<const std::string> lines,
                   std::size_t rowsBefore, ResultPageOutput& out) {
    if (lines.size() < kFlashMinLines) return;
    std::vector<std::string_view> titles;
    const std::size_t last = lines.size() - 1 - kFlashTailLines;
    for (std::size_t k = kFlashFirstLine; k <= last; ++k) {
        const std::string_view raw = lines[k];
        if (!contains(raw, gbk::kAuthor) || !contains(raw, gbk::kSize)) continue;
        const std::string_view l = trim(raw);
        const std::size_t bracket = pos("[", l);
        titles.push_back(bracket == 0 ? std::string_view{} : l.substr(0, bracket - 1));
    }
    if (titles.empty()) return;

    std::size_t longest = 0;
    for (const auto t : titles) longest = std::max(longest, t.size());
    std::vector<std::string_view> texts(links.size());
    std::vector<std::int64_t> order(links.size());
    for (std::size_t i = 0; i < links.size(); ++i) {
        if (links[i].text.size() <= longest) texts[i] = links[i].text;
        order[i] = static_cast<std::int64_t>(i);
    }
    PatternSet set(texts);
    set.setWeights(order);

    for (const auto title : titles) {
        ResultRow row;
        row.caption = std::to_string(rowsBefore + out.rows.size() + 1);
        // Not the MP3 icon: these rows are FLASH items, shown with the FLASH icon.
        row.icon = kFlashKind;
        row.title = title;
        const std::int64_t first = set.leastWeightIn(title, -1);
        if (first >= 0) row.address = links[static_cast<std::size_t>(first)].href;
        row.type = "html";
        out.rows.push_back(std::move(row));
        ++out.state.searchRowCount;
    }
}

}  // namespace

ResultPageOutput parseResultPage(const Hosts& hosts, const SearchState& state,
                                 const ResultPageInput& page) {
    ResultPageOutput out;
    out.state = state;
    const std::size_t rowsBefore = page.rowsBefore;

    if (page.countLabelInitial) out.countLabel = countLabelFor(page.lines);

    // Link pass: learn the client address, collect the result links not yet listed.
    const std::string prefix = redirectPrefix(hosts);
    const std::string ipMarker = localIpMarker(hosts);
    std::unordered_set<std::string_view> onThisPage;
    struct Candidate {
        std::size_t link;
        std::string_view address;
    };
    std::vector<Candidate> fresh;
    for (std::size_t i = 0; i < page.links.size(); ++i) {
        const std::string_view href = page.links[i].href;
        if (out.state.localIp.empty() && contains(href, ipMarker) && contains(href, "&ip=")) {
            const auto a = static_cast<long long>(pos("&ip=", href));
            const auto c = static_cast<long long>(pos("&cl=", href));
            out.state.localIp = midBytes(href, a + 4, c - a - 4);
        }
        if (!contains(href, prefix)) continue;
        const std::string_view address = href.substr(prefix.size());
        if (page.listed && page.listed(address)) continue;
        if (!onThisPage.insert(address).second) continue;
        fresh.push_back({i, address});
    }

    std::vector<std::string_view> texts;
    texts.reserve(fresh.size());
    for (const auto& c : fresh) texts.push_back(page.links[c.link].text);
    const std::vector<std::size_t> lineOf = linesOfOccurrences(texts, page.lines);

    out.rows.reserve(fresh.size());
    for (std::size_t j = 0; j < fresh.size(); ++j) {
        ResultRow row;
        row.caption = std::to_string(rowsBefore + out.rows.size() + 1);
        row.icon = page.headerIcon;
        row.title = texts[j];
        row.address = fresh[j].address;
        const std::string_view line =
            page.lines.empty() ? std::string_view{} : std::string_view(page.lines[lineOf[j]]);
        sizeAndType(trim(line), row);
        out.rows.push_back(std::move(row));
        ++out.state.searchRowCount;
    }

    if (page.kindIndex == kFlashKind) flashTextPass(page.links, page.lines, rowsBefore, out);

    if (!out.state.localIp.empty() && !page.captionHasIp) {
        std::string suffix(gbk::kCaptionIpPrefix);
        suffix += out.state.localIp;
        out.captionSuffix = std::move(suffix);
    }

    // Go on only when this page brought rows of its own.
    if (!out.rows.empty() && !state.searchStopped && out.state.searchPage < INT_MAX) {
        ++out.state.searchPage;
        out.requestNextPage = true;
    }
    return out;
}

}  // namespace melorin::search::gbk
