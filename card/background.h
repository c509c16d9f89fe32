#pragma once
// The card page's background line and the picture it names. The picture's address is written
// so that any path survives the page: bytes outside ASCII, "%", "#", "?" and control characters
// percent-encoded (UTF-8), then "&", "<", ">" and '"' as entities.
#include <optional>
#include <string>
#include <string_view>

namespace melorin::card {

// `<body background="file://` path `"> ` for a picture's absolute path (UTF-8).
std::string backgroundLineForFile(std::string_view absolutePath);
// `<body background="` reference `"> ` for a reference relative to the page ("a_files/b.jpg").
std::string backgroundLineForRelative(std::string_view relativeReference);

// The absolute path (UTF-8) a background line of the first kind names; none for any other line.
std::optional<std::string> pictureOfBackgroundLine(std::string_view line);

}  // namespace melorin::card
