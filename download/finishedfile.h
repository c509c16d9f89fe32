#pragma once
// What the desktop may do with a file a download wrote. The name's type comes from the network
// (a row's type text), so a file goes to the desktop's default handler only when that handler
// is a player: never one that would run it (".desktop", a script, a program) or open it as a
// page with access to local files.
#include <string>
#include <string_view>

namespace melorin::download {

// A plain file (not a link) at an absolute path that is there now.
bool isPlainLocalFile(const std::string& path);
// Whether the file's type is one a player opens (".mp3", ".rm", ".wma" ...; any case).
bool isPlayableName(std::string_view path);
// "打开": both of the above.
bool mayOpenWithPlayer(const std::string& path);

}  // namespace melorin::download
