#include "download/filename.h"

#include <algorithm>
#include <unordered_set>

namespace melorin::download {
namespace {

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

}  // namespace

std::string safeFileName(std::string_view name) {
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
    if (out.size() > 200) {
        std::size_t cut = 200;
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;
        out.resize(cut);
    }
    return out.empty() ? "_" : out;
}

std::string fileType(std::string_view type) {
    std::string t(trim(type));
    return t == "Mrm" ? "rm" : t;
}

std::string savePathFor(std::string_view folder, std::string_view title, std::string_view type) {
    return joinFolder(folder, safeFileName(std::string(title) + "." + std::string(type)));
}

std::string fallbackPathFor(std::string_view folder, std::string_view searchText, int row,
                            std::string_view type) {
    std::string name = std::string(trim(searchText)) + std::to_string(row) + "." + fileType(type);
    return joinFolder(folder, safeFileName(name));
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

std::string distinctSavePath(const std::string& path, const std::vector<std::string>& taken) {
    if (std::find(taken.begin(), taken.end(), path) == taken.end()) return path;
    // Many rows of one title are common (one song from many sources): look them up in a set.
    const std::unordered_set<std::string_view> set(taken.begin(), taken.end());
    for (int n = 2;; ++n) {
        std::string candidate = numberedPath(path, n);
        if (!set.contains(candidate)) return candidate;
    }
}

}  // namespace melorin::download
