#pragma once
// Turning song titles into file names that stay inside the chosen folder.
#include <functional>
#include <string>
#include <string_view>

namespace melorin::download {

// Bytes a file name may have when nothing else is known (the usual NAME_MAX).
inline constexpr std::size_t kNameMax = 255;
// Kept free in every name the program makes: " (99999)" for a taken name, and ".part.state"
// plus ".tmp-..." for the files written beside the song while it downloads.
inline constexpr std::size_t kNameReserve = 48;

// A single path component: "/", "\" and control characters become "_", runs of
// dots become one dot, leading dots and blanks go; at most `limit` bytes, cut on a
// UTF-8 boundary; "_" when nothing is left.
std::string safeFileName(std::string_view name, std::size_t limit = 200);

// The row's type as the file extension: trimmed, "Mrm" read as "rm".
std::string fileType(std::string_view type);

// The longest file name the folder's file system takes (pathconf), less kNameReserve.
std::size_t nameLimitFor(std::string_view folder);

// folder + "/" (unless it ends in one) + the safe name of title + "." + type. A title too long
// for `limit` is cut, never the extension (itself cut to a sane length).
std::string savePathFor(std::string_view folder, std::string_view title, std::string_view type,
                        std::size_t limit = kNameMax - kNameReserve);

// The name used when the save path cannot be created: folder + trimmed search
// text + row index + "." + type, made safe the same way.
std::string fallbackPathFor(std::string_view folder, std::string_view searchText, int row,
                            std::string_view type, std::size_t limit = kNameMax - kNameReserve);

// False for paths with a ".." component or control characters.
bool isSafeSavePath(std::string_view path);

// The path with " (n)" before the file name's extension: "/m/歌.mp3", 2 -> "/m/歌 (2).mp3";
// a name without an extension (or only a leading dot) gets it at the end.
std::string numberedPath(std::string_view path, int n);

using PathTaken = std::function<bool(const std::string&)>;

// `path` itself when `taken` says it is free, else the first numberedPath(path, n),
// n = 2, 3, ..., that is: two queue rows never write one file, nor a row over a file on disk.
std::string distinctSavePath(const std::string& path, const PathTaken& taken);
// The n distinctSavePath picks, looking from `from` on; 0 when `path` itself is free.
int freeNumber(const std::string& path, const PathTaken& taken, int from = 2);

}  // namespace melorin::download
