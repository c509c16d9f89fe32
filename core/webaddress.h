#pragma once
// Which addresses from the network may go to the desktop's default handler: web pages only.
// A result page can make a row's address anything (a local path, "file:", "smb:", a custom
// scheme, a program); only "http://" and "https://" with a host pass.
#include <string>
#include <string_view>

namespace melorin::core {

// "http://" or "https://" (any letter case), a host, and no blank or control character.
[[nodiscard]] bool isWebAddress(std::string_view address);

// The download log's line for an address that was not opened, saying why.
[[nodiscard]] std::string notOpenedLine(std::string_view address);

}  // namespace melorin::core
