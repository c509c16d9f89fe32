// The HTML pages of the demo service, in the layout Melorin's result-page parser and list
// pages read: one <div> per text line, the count line, result lines ending in size and type,
// result links through the redirect prefix, page links carrying the client address.
// Pages are built as UTF-8; the HTTP layer converts them to GBK.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "service/catalogue.h"

namespace melorin::service {

// What every page needs to know about the request it answers.
struct PageContext {
    std::string host;      // "HOST[:PORT]" the request came to; every link is built on it
    std::string clientIp;  // the address the request came from, as the page links state it
};

inline constexpr int kResultsPerPage = 30;
inline constexpr int kFlashPerPage = 10;

// The MP3-family search ("/m"): `kind` empty for all kinds ("lm=-1"); `albumOnly` for
// "&f=al" album links, which match the album name only.
struct SearchQuery {
    std::string word;  // UTF-8
    std::optional<Kind> kind;
    int offset = 0;
    bool albumOnly = false;
};

std::string resultPage(const PageContext& ctx, const SearchQuery& query);
std::string flashPage(const PageContext& ctx, const std::string& word, int offset);

enum class Chart { MaleSingers, FemaleSingers, Songs };
std::string chartPage(const PageContext& ctx, Chart chart);
std::string singerIndexPage(const PageContext& ctx);
// Empty when `singer` is out of range.
std::string singerPage(const PageContext& ctx, int singer);
std::string flashItemPage(const PageContext& ctx, const Song& song, int version);
std::string homePage(const PageContext& ctx);
// "/help.html": a help page written as old portal pages were, with layout tables nested in
// tables, comments, scripts, entities, hidden parts and odd whitespace, and links of every
// form (relative, "../", "//host", "?query", raw Chinese in a query, blanks, backslashes).
std::string helpPage(const PageContext& ctx);
std::string errorPage(int status, std::string_view message);

// "http://HOST/music/sNN/III.ext": where result links lead once the prefix is stripped.
std::string songAddress(std::string_view host, const Song& song, int source);
// The song and source (1-based) of a "/music/sNN/III.ext" path, if it names one.
struct SongFile {
    const Song* song;
    int source;
};
std::optional<SongFile> parseSongPath(std::string_view path);
// "http://" + host + "/r?url=".
std::string redirectPrefix(std::string_view host);

// Wraps text lines (already HTML) into a page with the GBK meta charset.
std::string htmlDocument(std::string_view title, std::string_view bodyLines);

}  // namespace melorin::service
