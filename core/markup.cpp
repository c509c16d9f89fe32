#include "core/markup.h"

namespace melorin::core {

std::string escapeMarkup(std::string_view text, Apostrophe apostrophe) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += apostrophe == Apostrophe::Escaped ? "&#39;" : "'";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace melorin::core
