// Addresses of the search service's pages and the search requests that load them.
// The address functions take search texts as GBK bytes, which go into the addresses unescaped;
// `wireAddress` gives the form that is sent. The request functions are the window's edge: they
// take the search box's text in UTF-8, put it on the wire in GBK, and are pure: they take the
// caller's search state and return what to load together with the state afterwards.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "search/hosts.h"

namespace melorin::search {

// Item indices of the type box; -1 (or any other value) means nothing is selected.
enum class MediaKind { Mp3 = 0, Rm = 1, Wma = 2, Asf = 3, Ram = 4, Flash = 5 };
inline constexpr int kNoKind = -1;

// Indices 0..4 share the MP3 search page and differ only in the kind parameter.
inline bool isMp3Family(int kindIndex) {
    return kindIndex >= 0 && kindIndex <= 4;
}

// Page limits of the follow-up requests: offsets past them load nothing.
inline constexpr int kMp3PageSize = 30;
inline constexpr int kMp3OffsetLimit = 600;
inline constexpr int kFlashPageSize = 10;
inline constexpr int kFlashOffsetLimit = 100;

// The search state the main window owns, with its values after start-up. `localIp` is text
// taken from a page, in UTF-8 like all the window's text.
struct SearchState {
    int searchPage = 2;
    int searchRowCount = 0;
    bool searchStopped = false;
    std::string localIp;

    bool operator==(const SearchState&) const = default;
};

enum class ListPage { MaleSingers, FemaleSingers, Songs, AllSingers };

std::string firstPageAddress(const Hosts& hosts, std::string_view text, int kindIndex);

// The follow-up page for `searchPage`, or nothing when its offset passes the limit.
// Kinds outside 0..4 (FLASH, none selected) page as FLASH.
std::optional<std::string> nextPageAddress(const Hosts& hosts, std::string_view text, int kindIndex,
                                           int searchPage, std::string_view localIp);

std::string listPageAddress(const Hosts& hosts, ListPage page);

std::string albumAddress(const Hosts& hosts, std::string_view text, int kindIndex);

// Percent-encodes blanks (%20) and bytes >= 0x80 (%XX, upper-case hex); all else unchanged.
std::string wireAddress(std::string_view address);

// Which hidden browser a request navigates.
enum class Browser { Results, Lists };

// What a request asks of the window: focus the search box, clear the result list, put back
// the count label's initial text, set the list header icon, load an address (its wire form,
// plain ASCII). `state` is the search state afterwards (unchanged fields included).
struct Request {
    Browser browser = Browser::Results;
    std::optional<std::string> address;
    SearchState state;
    bool focusSearchBox = false;
    bool clearList = false;
    bool resetCountLabel = false;
    std::optional<int> headerIcon;
    // A line for the status bar, when the request ends the search before it starts.
    std::optional<std::string> statusLine;
};

// What every engine's search button does before it names its first page: the stop flag is
// cleared; an empty text only focuses the search box; otherwise the list, its row count and the
// count label start over, the list header shows the kind's icon and the page is 1.
Request newSearch(const SearchState& state, std::string_view text, int kindIndex);

// The search button (`text` in UTF-8; a character GBK lacks goes as percent-encoded UTF-8):
// an empty text only focuses the search box (the stop flag is still
// cleared). Otherwise clears the list and the row count, loads the first page, page := 1.
Request searchRequest(const Hosts& hosts, const SearchState& state, std::string_view text,
                      int kindIndex);

// The next page after a page that appended rows; the parser has already raised searchPage.
// Loads nothing once the offset passes the limit.
Request nextPageRequest(const Hosts& hosts, const SearchState& state, std::string_view text,
                        int kindIndex);

// The type box changed: a search when a kind is selected and the text is not empty,
// otherwise a request that does nothing.
Request typeChangedRequest(const Hosts& hosts, const SearchState& state, std::string_view text,
                           int kindIndex);

// Chart and singer-index pages: clear the list, load the page; the search state stays.
Request listPageRequest(const Hosts& hosts, const SearchState& state, ListPage page);

// Album search: as a search for an empty text, else clears the list and the row count and
// loads the album page into the list browser.
Request albumRequest(const Hosts& hosts, const SearchState& state, std::string_view text,
                     int kindIndex);

}  // namespace melorin::search
