#pragma once
// Which addresses from the network may go to the desktop's default handler: web pages only.
// A result page can make a row's address anything (a local path, "file:", "smb:", a custom
// scheme, a program); only "http://" and "https://" with a host pass.
#include <string>
#include <string_view>
#include <vector>

#include "core/songrow.h"

namespace melorin::core {

// "http://" or "https://" (any letter case), a host, and no blank or control character.
[[nodiscard]] bool isWebAddress(std::string_view address);

// The download log's line for an address that was not opened, saying why.
[[nodiscard]] std::string notOpenedLine(std::string_view address);

// The actions that take result rows into a list, a page or a download.
enum class RowAction { OnlinePlay, PlayList, Card, Download };

// The rows an action may take: every file row whose address is not a web address is left out,
// with a log line saying why; rows of other shapes are kept for the action's own rules.
struct RowsForAction {
    std::vector<SongRow> rows;
    std::vector<std::string> refusals;
};
[[nodiscard]] RowsForAction webRowsFor(RowAction action, const std::vector<SongRow>& rows);

}  // namespace melorin::core
