#pragma once
// Is it really the song? Expired links often answer 200 with a web page. The first bytes of
// an answer and its Content-Type tell a web page from a file; the music formats the program
// fetches are known by their first bytes, and any other binary body is accepted.
#include <string_view>

namespace melorin::download {

enum class BodyKind {
    Mp3,        // "ID3" or an MPEG audio frame sync
    Asf,        // the ASF header object (WMA, ASF)
    RealMedia,  // ".RMF"
    RamList,    // a RealAudio list: text addresses (rtsp://, pnm://, http://, ...)
    WebPage,    // an HTML document, or text/html that is none of the above
    Other       // anything else; accepted
};

// How many first bytes sniffBody looks at (fewer are fine).
inline constexpr std::size_t kSniffBytes = 512;

// A known music format wins over the Content-Type: a server that labels an MP3 text/html
// still sends the song.
BodyKind sniffBody(std::string_view head, std::string_view contentType);

inline bool isSongBody(BodyKind kind) {
    return kind != BodyKind::WebPage;
}

}  // namespace melorin::download
