#include "download/filename.h"

#include <unistd.h>

#include <algorithm>

namespace melorin::download {
namespace {

// The longest extension kept whole; a longer type is not a file type anyway.
constexpr std::size_t kExtensionMax = 16;

std::string_view trim(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32) s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32) s.remove_suffix(1);
    return s;
}

std::string joinFolder(std::string_view folder, const std::string& name) {
    std::string out(folder);
    if (!out.empty() && out.back() != '/') out += '/';
    return out + name;
}

// Cuts `s` to at most `limit` bytes without splitting a UTF-8 sequence.
void cutUtf8(std::string& s, std::size_t limit) {
    if (s.size() <= limit) return;
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;
    s.resize(cut);
}

// The safe name of stem + "." + extension within `limit` bytes. Only a name too long is cut,
// and then the stem gives way, never the extension.
std::string nameWithExtension(std::string_view stem, std::string_view extension,
                              std::size_t limit) {
    const std::string whole =
        safeFileName(std::string(stem) + "." + std::string(extension), std::string::npos);
    if (whole.size() <= limit) return whole;
    std::string ext = extension.empty() ? std::string() : safeFileName(extension, kExtensionMax);
    std::string name = safeFileName(stem, limit > ext.size() + 2 ? limit - ext.size() - 1 : 1);
    while (name.size() > 1 && name.back() == '.') name.pop_back();
    return name + "." + ext;
}

}  // namespace

std::string safeFileName(std::string_view name, std::size_t limit) {
    std::string out;
    for (char c : name) {
        unsigned char u = static_cast<unsigned char>(c);
        char r = (c == '/' || c == '\\' || u < 0x20 || u == 0x7f) ? '_' : c;
        if (r == '.' && !out.empty() && out.back() == '.') continue;
        out += r;
    }
    std::size_t lead = 0;
    while (lead < out.size() && (out[lead] == '.' || out[lead] == ' ')) ++lead;
    out.erase(0, lead);
    cutUtf8(out, limit);
    return out.empty() ? "_" : out;
}

std::string fileType(std::string_view type) {
    std::string t(trim(type));
    return t == "Mrm" ? "rm" : t;
}

std::size_t nameLimitFor(std::string_view folder) {
    const long max = ::pathconf(std::string(folder.empty() ? "." : folder).c_str(), _PC_NAME_MAX);
    const std::size_t name = max > 0 ? static_cast<std::size_t>(max) : kNameMax;
    return name > kNameReserve + 16 ? name - kNameReserve : 16;
}

std::string savePathFor(std::string_view folder, std::string_view title, std::string_view type,
                        std::size_t limit) {
    return joinFolder(folder, nameWithExtension(title, type, limit));
}

std::string fallbackPathFor(std::string_view folder, std::string_view searchText, int row,
                            std::string_view type, std::size_t limit) {
    const std::string stem = std::string(trim(searchText)) + std::to_string(row);
    return joinFolder(folder, nameWithExtension(stem, fileType(type), limit));
}

bool isSafeSavePath(std::string_view path) {
    if (path.empty()) return false;
    for (char c : path) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f) return false;
    }
    std::size_t pos = 0;
    while (pos <= path.size()) {
        std::size_t next = path.find('/', pos);
        if (next == std::string_view::npos) next = path.size();
        if (path.substr(pos, next - pos) == "..") return false;
        pos = next + 1;
    }
    return path.back() != '/';
}

std::string numberedPath(std::string_view path, int n) {
    const std::size_t nameStart =
        path.rfind('/') == std::string_view::npos ? 0 : path.rfind('/') + 1;
    std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || dot <= nameStart) dot = path.size();
    std::string out(path.substr(0, dot));
    out += " (" + std::to_string(n) + ")";
    out += path.substr(dot);
    return out;
}

std::string distinctSavePath(const std::string& path, const PathTaken& taken) {
    const int n = freeNumber(path, taken);
    return n == 0 ? path : numberedPath(path, n);
}

int freeNumber(const std::string& path, const PathTaken& taken, int from) {
    if (!taken(path)) return 0;
    for (int n = std::max(from, 2);; ++n)
        if (!taken(numberedPath(path, n))) return n;
}

}  // namespace melorin::download
