#pragma once
// Saving the previewed card elsewhere: the page file as it is, or the page with its picture in
// a folder beside it, so that the card opens with its picture on another computer.
#include <optional>
#include <string>
#include <string_view>

namespace melorin::card {

// The save dialog's two choices (Qt filter entries).
inline constexpr std::string_view kSavePageFilter = "网页，仅HTML (*.html *.htm)";
inline constexpr std::string_view kSavePageWithPictureFilter = "网页及其图片 (*.html *.htm)";

// "<dir>/<name>_files/" for a target "<dir>/<name>.html" (or .htm; any other name whole).
std::string pictureFolderFor(std::string_view target);

// Each returns what went wrong (naming the path), or nothing on success. Targets are replaced
// only once complete.

// The page file copied byte for byte.
std::optional<std::string> savePage(const std::string& pagePath, const std::string& target);

// The page with its background picture copied into pictureFolderFor(target) and its
// background line pointing there relatively; every other byte as in the page file.
std::optional<std::string> savePageWithPicture(const std::string& pagePath,
                                               const std::string& target);

}  // namespace melorin::card
