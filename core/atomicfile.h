#pragma once
// Files the program writes replace their old version only once complete: written to a
// temporary file beside the target, then renamed over it. A failed write leaves the old
// file whole.
#include <optional>
#include <string>
#include <string_view>

namespace melorin::core {

// Empty on success; otherwise what went wrong, naming the path (UTF-8).
// `durable` also flushes the data to the disk before the rename (state that must survive a
// power cut).
std::optional<std::string> writeFileAtomically(const std::string& path, std::string_view bytes,
                                               bool durable = false);

}  // namespace melorin::core
