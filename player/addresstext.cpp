#include "player/addresstext.h"

#include "core/markup.h"

namespace melorin::player {

std::string oneLineAddress(std::string_view address) {
    std::string out;
    out.reserve(address.size());
    for (const char c : address) {
        switch (c) {
            case '\r':
                out += "%0D";
                break;
            case '\n':
                out += "%0A";
                break;
            case '\0':
                out += "%00";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string markupAddress(std::string_view address) {
    return core::escapeMarkup(oneLineAddress(address));
}

}  // namespace melorin::player
