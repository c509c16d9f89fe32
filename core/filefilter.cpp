#include "core/filefilter.h"

#include <vector>

namespace melorin::core {
namespace {

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (std::size_t from = 0;;) {
        const std::size_t at = text.find(separator, from);
        parts.push_back(text.substr(from, at == std::string_view::npos ? at : at - from));
        if (at == std::string_view::npos) return parts;
        from = at + 1;
    }
}

}  // namespace

std::string fileDialogFilter(std::string_view pairs) {
    const std::vector<std::string_view> fields = split(pairs, '|');
    std::string out;
    for (std::size_t i = 0; i + 1 < fields.size(); i += 2) {
        std::string patterns;
        for (const std::string_view p : split(fields[i + 1], ';')) {
            if (p.empty()) continue;
            if (!patterns.empty()) patterns += ' ';
            patterns.append(p);
        }
        if (!out.empty()) out += ";;";
        out.append(fields[i]).append(" (").append(patterns).append(")");
    }
    return out;
}

}  // namespace melorin::core
