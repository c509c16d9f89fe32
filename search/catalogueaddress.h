#pragma once
// Addresses of the music catalogues as they go on the wire: the search text and file names
// percent-encoded as UTF-8, and file addresses a catalogue gives raw (with blanks, "#", "?" or
// Chinese in them) made into addresses the download core and the player accept. Only http and
// https addresses come out of here.
#include <optional>
#include <string>
#include <string_view>

namespace melorin::search {

// Every byte but the unreserved ones (letters, digits, "-._~") as %XX: a query value or one
// path segment.
std::string encodeComponent(std::string_view text);

// Each "/"-separated segment of `path` encoded on its own; the slashes stay.
std::string encodePath(std::string_view path);

// `base` ("https://archive.org/", "http://127.0.0.1:8360") without trailing slashes.
std::string trimBase(std::string_view base);

// A file address as a catalogue gives it, raw: its path and query are literal text, so every
// byte that may not stand in an address is encoded ("%" only when it does not already start an
// escape). Nothing unless it is http or https with a plain host and no user name.
std::optional<std::string> wireFileAddress(std::string_view raw);

}  // namespace melorin::search
