#include "player/pageobjects.h"

#include "player/entrylist.h"
#include "player/markupscan.h"
#include "player/playerpages.h"

namespace melorin::player {

std::vector<PlayerObject> playerObjectsOf(std::string_view pageBytes) {
    const std::string text = listTextToUtf8(pageBytes);
    const std::string real = markup::lowered(kRealClassId);
    const std::string windowsMedia = markup::lowered(kWindowsMediaClassId);
    std::vector<PlayerObject> out;
    for (auto object = markup::nextTag(text, 0, {"object"}); object;
         object = markup::nextTag(text, object->end, {"object"})) {
        const std::string classId = markup::lowered(markup::trimmed(
            markup::attribute(object->attributes, "classid").value_or(std::string())));
        if (classId != real && classId != windowsMedia) continue;
        PlayerObject found;
        found.kind = classId == real ? PlayerKind::Real : PlayerKind::WindowsMedia;
        const auto close = markup::nextTag(text, object->end, {"/object"});
        const std::size_t limit = close ? close->begin : text.size();
        for (auto param = markup::nextTag(text, object->end, {"param"});
             param && param->begin < limit; param = markup::nextTag(text, param->end, {"param"})) {
            const std::string name = markup::lowered(
                markup::trimmed(markup::attribute(param->attributes, "name").value_or("")));
            const std::string value = markup::attribute(param->attributes, "value").value_or("");
            const bool isTarget = found.kind == PlayerKind::Real
                                      ? name == "src"
                                      : name == "filename" || name == "url";
            if (isTarget && found.target.empty()) found.target = markup::trimmed(value);
            if (name == "autostart") {
                const std::string v = markup::lowered(markup::trimmed(value));
                found.autoStart = v != "0" && v != "false";
            }
        }
        out.push_back(std::move(found));
    }
    return out;
}

}  // namespace melorin::player
