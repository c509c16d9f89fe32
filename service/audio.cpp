#include "service/audio.h"

#include <array>

// The files are assembled into the program so it serves them wherever it runs.
#define MELORIN_EMBED(sym, file)                                                      \
    __asm__(".section .rodata\n.balign 16\n.global " #sym "_begin\n" #sym             \
            "_begin:\n"                                                               \
            ".incbin \"" MELORIN_AUDIO_DIR "/" file "\"\n.global " #sym "_end\n" #sym \
            "_end:\n.byte 0\n.previous\n");                                           \
    extern "C" const char sym##_begin[];                                              \
    extern "C" const char sym##_end[];

MELORIN_EMBED(melorin_sample_mp3, "sample.mp3")
MELORIN_EMBED(melorin_sample_rm, "sample.rm")
MELORIN_EMBED(melorin_sample_wma, "sample.wma")
MELORIN_EMBED(melorin_sample_asf, "sample.asf")
MELORIN_EMBED(melorin_sample_ram, "sample.ram")

namespace melorin::service {

namespace {
// The host the committed RAM list names; replaced by the request's host when served.
constexpr std::string_view kRamTemplateHost = "127.0.0.1:8360";
}  // namespace

std::string_view sampleAudio(Kind kind) {
    const auto view = [](const char* b, const char* e) {
        return std::string_view(b, static_cast<std::size_t>(e - b));
    };
    switch (kind) {
        case Kind::Mp3:
            return view(melorin_sample_mp3_begin, melorin_sample_mp3_end);
        case Kind::Rm:
            return view(melorin_sample_rm_begin, melorin_sample_rm_end);
        case Kind::Wma:
            return view(melorin_sample_wma_begin, melorin_sample_wma_end);
        case Kind::Asf:
            return view(melorin_sample_asf_begin, melorin_sample_asf_end);
        case Kind::Ram:
            return view(melorin_sample_ram_begin, melorin_sample_ram_end);
    }
    return {};
}

std::string_view audioContentType(Kind kind) {
    static constexpr std::array<std::string_view, kKindCount> types = {
        "audio/mpeg", "application/vnd.rn-realmedia", "audio/x-ms-wma", "video/x-ms-asf",
        "audio/x-pn-realaudio"};
    return types[static_cast<int>(kind)];
}

std::string servedAudio(Kind kind, std::string_view host) {
    std::string body(sampleAudio(kind));
    if (kind == Kind::Ram) {
        for (auto at = body.find(kRamTemplateHost); at != std::string::npos;
             at = body.find(kRamTemplateHost, at + host.size())) {
            body.replace(at, kRamTemplateHost.size(), host);
        }
    }
    return body;
}

}  // namespace melorin::service
