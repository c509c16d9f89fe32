#pragma once
// How Melorin names itself to the servers it asks on its own: "Melorin/VERSION (+ADDRESS)",
// the project's address given at configure time (MELORIN_PROJECT_URL).
#include <string>

namespace melorin::search {

std::string catalogueUserAgent();
// For the search service's pages, which were written for browsers: a desktop browser's form
// with Melorin's name in it.
std::string pageUserAgent();

}  // namespace melorin::search
