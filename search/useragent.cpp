#include "search/useragent.h"

namespace melorin::search {

std::string catalogueUserAgent() {
    return "Melorin/" MELORIN_VERSION " (+" MELORIN_PROJECT_URL ")";
}

}  // namespace melorin::search
