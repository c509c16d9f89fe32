// JSON text for the catalogue imitations: strings quoted and escaped. The answers are put
// together by hand because one of them must be invalid JSON on purpose.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace melorin::service {

// `text` (UTF-8) as a JSON string, quotes included.
std::string jsonString(std::string_view text);
// ["a","b"]
std::string jsonStrings(const std::vector<std::string>& texts);

}  // namespace melorin::service
