#pragma once
// What the music catalogues' rows and status-bar lines say: sizes in the form the default
// engine's rows show them, the kinds of the type box by name, and one line for each way a
// catalogue search can end.
#include <cstdint>
#include <string>
#include <string_view>

#include "core/httpget.h"

namespace melorin::search {

// A catalogue search pages on until a page adds nothing, the user stops it, or the list holds
// this many rows.
inline constexpr int kCatalogueRowLimit = 600;

// "8.5M" from 1 MiB up (one decimal), "512K" below (at least "1K"); "" for no size (< 0).
std::string sizeText(std::int64_t bytes);

// "MP3", "RM", "WMA", "ASF", "RAM", "FLASH"; "" for any other index.
std::string_view kindName(int kindIndex);

// The type box's kind as a file extension ("mp3" …); "" for FLASH and no kind.
std::string_view kindExtension(int kindIndex);

// The status-bar lines of a catalogue named `catalogue` ("互联网档案馆").
std::string missingKindLine(std::string_view catalogue, int kindIndex);
std::string unreadableLine(std::string_view catalogue);
// A failed request; no network gives the default engine's "请检查网络连接!".
std::string failureLine(std::string_view catalogue, const core::GetAnswer& answer);
// How a search ended on its own, was stopped, or met the row limit; `unreadItems` items
// could not be read and were left out.
enum class SearchEnd { Done, Stopped, RowLimit };
std::string endLine(std::string_view catalogue, SearchEnd end, int rows, int unreadItems);

// The chart, singer and album buttons with another engine than the default one.
std::string listPagesLine();

}  // namespace melorin::search
