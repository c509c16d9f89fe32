// libFuzzer target for the music catalogues' answers: any bytes through the JSON mending and
// each engine's reader. Input: one byte choosing the reader, then the answer.
#include <cstdint>
#include <string_view>

#include "search/archiveengine.h"
#include "search/cataloguejson.h"
#include "search/ccmixterengine.h"

using namespace melorin::search;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::string_view answer(reinterpret_cast<const char*>(data + 1), size - 1);
    static const ArchiveEngine archive("http://ia.test");
    static const CcMixterEngine mixter("http://cc.test");
    SearchState state;
    state.searchPage = 1 + data[0] % 3;
    ListContext list;
    list.kindIndex = data[0] % 2 == 0 ? 0 : 2;
    switch (data[0] % 4) {
        case 0:
            (void)mendedJson(answer);
            break;
        case 1:
            (void)archive.readPage(state, {answer}, list);
            break;
        case 2:
            (void)archive.readItem({"http://ia.test/metadata/x", "x y", "t", "c"}, {answer}, list);
            break;
        default:
            (void)mixter.readPage(state, {answer}, list);
    }
    return 0;
}
