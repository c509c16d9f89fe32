#include "card/picture.h"

#include <vector>

namespace melorin::card {
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

std::string qtFileFilter(std::string_view pairs) {
    const std::vector<std::string_view> fields = split(pairs, '|');
    std::string out;
    for (std::size_t i = 0; i + 1 < fields.size(); i += 2) {
        std::string patterns;
        for (const std::string_view p : split(fields[i + 1], ';')) {
            if (p.empty()) continue;
            if (!patterns.empty()) patterns += ' ';
            patterns.append(p);
        }
        std::string entry(fields[i]);
        const std::string tail = '(' + patterns + ')';
        if (!entry.ends_with(tail)) entry += " " + tail;
        if (!out.empty()) out += ";;";
        out += entry;
    }
    return out;
}

std::string pictureFolder(std::string_view programDir) {
    std::string folder(programDir);
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder + "pic/";
}

}  // namespace melorin::card
