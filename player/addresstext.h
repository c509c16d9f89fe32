#pragma once
// How an address from the network is put into the lines of a file the program writes.
#include <string>
#include <string_view>

namespace melorin::player {

// CR, LF and NUL percent-encoded, so that an address always stays on its line.
std::string oneLineAddress(std::string_view address);
// The same, with entities for "&", "<", ">" and quotation marks, for attribute values.
std::string markupAddress(std::string_view address);

}  // namespace melorin::player
