#include "search/useragent.h"

namespace melorin::search {

std::string catalogueUserAgent() {
    return "Melorin/" MELORIN_VERSION " (+" MELORIN_PROJECT_URL ")";
}

std::string pageUserAgent() {
    return "Mozilla/5.0 (X11; Linux x86_64) Melorin/" MELORIN_VERSION;
}

}  // namespace melorin::search
