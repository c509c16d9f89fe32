#include "download/finishedfile.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <system_error>

namespace melorin::download {
namespace {

// The kinds of the type box and what the catalogues offer, with their usual relatives.
constexpr std::array<std::string_view, 24> kPlayable = {
    "mp3",  "rm",   "rmvb", "ra",  "ram", "wma", "wmv",  "asf", "asx", "wav", "ogg",  "oga",
    "opus", "flac", "m4a",  "aac", "mp4", "mid", "midi", "ape", "swf", "mp2", "aiff", "au"};

}  // namespace

bool isPlainLocalFile(const std::string& path) {
    namespace fs = std::filesystem;
    if (path.empty() || path.front() != '/') return false;
    std::error_code error;
    // symlink_status: a link put in the file's place is not the file Melorin wrote.
    return fs::symlink_status(path, error).type() == fs::file_type::regular && !error;
}

bool isPlayableName(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return false;
    std::string type(name.substr(dot + 1));
    std::transform(type.begin(), type.end(), type.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    });
    return std::find(kPlayable.begin(), kPlayable.end(), type) != kPlayable.end();
}

bool mayOpenWithPlayer(const std::string& path) {
    return isPlayableName(path) && isPlainLocalFile(path);
}

}  // namespace melorin::download
