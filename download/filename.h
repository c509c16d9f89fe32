#pragma once
// Turning song titles into file names that stay inside the chosen folder.
#include <string>
#include <string_view>
#include <vector>

namespace melorin::download {

// A single path component: "/", "\" and control characters become "_", runs of
// dots become one dot, leading dots and blanks go; at most 200 bytes, cut on a
// UTF-8 boundary; "_" when nothing is left.
std::string safeFileName(std::string_view name);

// The row's type as the file extension: trimmed, "Mrm" read as "rm".
std::string fileType(std::string_view type);

// folder + "/" (unless it ends in one) + safeFileName(title + "." + type).
std::string savePathFor(std::string_view folder, std::string_view title, std::string_view type);

// The name used when the save path cannot be created: folder + trimmed search
// text + row index + "." + type, made safe the same way.
std::string fallbackPathFor(std::string_view folder, std::string_view searchText, int row,
                            std::string_view type);

// False for paths with a ".." component or control characters.
bool isSafeSavePath(std::string_view path);

// The path with " (n)" before the file name's extension: "/m/歌.mp3", 2 -> "/m/歌 (2).mp3";
// a name without an extension (or only a leading dot) gets it at the end.
std::string numberedPath(std::string_view path, int n);

// `path` itself when no path in `taken` equals it, else the first numberedPath(path, n),
// n = 2, 3, ..., that none equals: two queue rows never write one file.
std::string distinctSavePath(const std::string& path, const std::vector<std::string>& taken);

}  // namespace melorin::download
