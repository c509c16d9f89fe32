#pragma once
// Download addresses as the queue holds them: text, possibly without a scheme
// ("host:8080/path"). Parsing is strict so nothing odd reaches the wire.
#include <optional>
#include <string>
#include <string_view>

namespace melorin::download {

struct Address {
    std::string scheme;  // "http" or "https", lower case
    std::string host;    // name or IPv4 literal; IPv6 without brackets
    int port = 80;
    std::string path;  // starts with "/", may carry a query; no fragment

    // The address as a full URL with an explicit port; bytes outside printable
    // ASCII in the path are percent-encoded.
    std::string url() const;
};

// nullopt for an empty host, an unknown scheme, a bad port, user info,
// blanks or control characters.
std::optional<Address> parseAddress(std::string_view text);

}  // namespace melorin::download
