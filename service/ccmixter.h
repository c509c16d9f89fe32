// The demo service's imitation of ccMixter's query API: one upload per song of the demo
// catalogue, answered as a JSON array in ccMixter's shape, raw blanks and Chinese in the
// download addresses included. The upload of the first song carries the two faults real
// answers have (a number with leading zeros, raw control characters in a string), so every
// page that lists it is invalid JSON. All texts are UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace melorin::service {

// The answer to /api/query?f=json&search=TEXT&limit=N&offset=M; links are built on `host`.
std::string ccmixterAnswer(std::string_view host, std::string_view text, int limit, int offset);

// Whether /content/PATH (decoded) is one of the uploads' MP3 files.
bool ccmixterServes(std::string_view path);

}  // namespace melorin::service
