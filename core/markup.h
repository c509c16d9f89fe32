#pragma once
// Entities for text that goes into markup. Kept apart from core/text.h, which needs Qt for
// its GBK codec: the local service escapes its pages with the same rule.
#include <string>
#include <string_view>

namespace melorin::core {

enum class Apostrophe {
    Kept,     // attribute values the program writes in double quotes
    Escaped,  // "&#39;": text that may also stand in single-quoted attributes
};

// "&", "<", ">" and the quotation mark as entities (and the apostrophe when asked); any other
// byte unchanged.
std::string escapeMarkup(std::string_view text, Apostrophe apostrophe = Apostrophe::Kept);

}  // namespace melorin::core
