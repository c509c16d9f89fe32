#pragma once
// A link's address as a browser's `href` property gives it: the attribute resolved against the
// page's base address and written out the way browsers write addresses (lower-case scheme and
// host, no default port, "/" for an empty path, dot segments gone, "\" read as "/", blanks and
// non-ASCII percent-encoded, the query in the page's own encoding).
#include <QByteArray>
#include <string>
#include <string_view>

namespace melorin::core {

// `href` is the attribute's value in UTF-8; `base` an absolute http or https address in its
// encoded form; `queryEncoding` a decoder name from core/pagecharset.h. An `href` that cannot
// be read as an address comes back as it stands, as the browser gives it.
std::string resolveLink(std::string_view href, std::string_view base,
                        const QByteArray& queryEncoding = "UTF-8");

}  // namespace melorin::core
