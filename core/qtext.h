#pragma once

// The libraries speak UTF-8 bytes, the controls QString; this is the one crossing between them
// (the other way is QString::toStdString, which gives UTF-8 as well).

#include <QString>
#include <string_view>

namespace melorin {

inline QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace melorin
