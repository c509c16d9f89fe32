// libFuzzer target for pages read without a browser engine: any bytes decoded, guarded, parsed
// and read for body text and links. Input: one byte choosing the Content-Type, then the page.
#include <QByteArray>
#include <QUrl>
#include <cstdint>

#include "core/htmlpage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    static const QByteArray types[] = {"text/html", "text/html; charset=gbk",
                                       "text/html; charset=utf-8", "text/plain"};
    static const QUrl page(QStringLiteral("http://127.0.0.1:8360/dir/page.html?q=1"));
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1),
                           static_cast<qsizetype>(size - 1));
    (void)melorin::core::readPage(bytes, types[data[0] % 4], page);
    return 0;
}
