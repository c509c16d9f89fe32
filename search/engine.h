#pragma once
// One search engine of the engine box: where a search's pages come from and how their answers
// become rows of the result list. The default search service's pages load in the browser
// component; the music catalogues answer plain HTTP GETs with JSON, and a catalogue page may
// list items whose own answers hold the files. Engines are pure: the window fetches what they
// ask for and hands them the answers, so every engine is tested on answers alone.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/songrow.h"
#include "search/pages.h"
#include "search/requests.h"

namespace melorin::search {

// How an engine's addresses are fetched.
enum class Transport {
    Browser,  // loaded in the search browser: body text and links
    Http,     // a plain GET: the body
};

// An answer to one of an engine's addresses.
struct Answer {
    std::string_view body;                 // the body; for a loaded page its text
    std::span<const PageLink> links = {};  // a loaded page's links; none for Http
};

// An item a page listed, whose own answer holds its files: its address (wire form) and what
// the page said of it.
struct ItemRef {
    std::string address;
    std::string id;
    std::string title;
    std::string creator;
};

struct PageReading {
    // Rows to append now, the search state afterwards, the count label's new text and whether
    // the search goes on. With items, it goes on only once their answers are in and added rows.
    ResultPageRead page;
    std::vector<ItemRef> items;  // rows still to come from these items, in this order
    // The answer could not be read: the search ends with this line in the status bar.
    std::optional<std::string> failure;
};

struct ItemReading {
    std::vector<core::SongRow> rows;  // unnumbered: the caller numbers rows as it appends them
    bool readable = true;             // false: the answer was not what an item answers
};

class Engine {
public:
    virtual ~Engine() = default;

    [[nodiscard]] virtual std::string name() const = 0;  // its text in the engine box
    // Its name in status-bar lines.
    [[nodiscard]] virtual std::string shortName() const { return name(); }
    [[nodiscard]] virtual Transport transport() const = 0;
    // Charts, the singer index and album searches.
    [[nodiscard]] virtual bool hasListPages() const = 0;

    // The search button with the search box's text (UTF-8) and the type box's item index.
    [[nodiscard]] virtual Request search(const SearchState& state, std::string_view text,
                                         int kindIndex) const = 0;
    // The next page, after a page that raised state.searchPage; no address past the last.
    [[nodiscard]] virtual Request nextPage(const SearchState& state, std::string_view text,
                                           int kindIndex) const = 0;
    [[nodiscard]] virtual PageReading readPage(const SearchState& state, const Answer& answer,
                                               const ListContext& list) const = 0;
    [[nodiscard]] virtual ItemReading readItem(const ItemRef& item, const Answer& answer,
                                               const ListContext& list) const;
};

// The search service's result pages, read in the browser, as they always were.
class DefaultEngine final : public Engine {
public:
    explicit DefaultEngine(Hosts hosts) : hosts_(std::move(hosts)) {}

    [[nodiscard]] std::string name() const override { return "默认mp3搜索引擎"; }
    [[nodiscard]] Transport transport() const override { return Transport::Browser; }
    [[nodiscard]] bool hasListPages() const override { return true; }
    [[nodiscard]] Request search(const SearchState& state, std::string_view text,
                                 int kindIndex) const override;
    [[nodiscard]] Request nextPage(const SearchState& state, std::string_view text,
                                   int kindIndex) const override;
    [[nodiscard]] PageReading readPage(const SearchState& state, const Answer& answer,
                                       const ListContext& list) const override;

private:
    Hosts hosts_;
};

}  // namespace melorin::search
