#include "player/pageobjects.h"

#include "core/text.h"
#include "player/entrylist.h"
#include "player/markupscan.h"
#include "player/playerpages.h"

namespace melorin::player {

namespace {

// Characters first, then entities: a reference stands for a character, not a byte.
std::string valueText(std::string_view raw) {
    return std::string(markup::trimmed(decodeEntities(core::gbkToUtf8(raw))));
}

}  // namespace

std::vector<PlayerObject> playerObjectsOf(std::string_view pageBytes) {
    const std::string real = markup::lowered(kRealClassId);
    const std::string windowsMedia = markup::lowered(kWindowsMediaClassId);
    std::vector<PlayerObject> out;
    out.reserve(kMaxPlayerObjects);  // `open` points into it
    PlayerObject* open = nullptr;
    markup::TagReader tags(pageBytes);
    for (auto tag = tags.next(); tag; tag = tags.next()) {
        if (tag->name == "/object") {
            open = nullptr;
            continue;
        }
        if (tag->name == "object") {
            open = nullptr;
            const std::string classId = markup::lowered(markup::trimmed(
                markup::rawAttribute(tag->attributes, "classid").value_or(std::string_view())));
            if (classId != real && classId != windowsMedia) continue;
            if (out.size() == kMaxPlayerObjects) break;
            open = &out.emplace_back();
            open->kind = classId == real ? PlayerKind::Real : PlayerKind::WindowsMedia;
            continue;
        }
        if (tag->name != "param" || open == nullptr) continue;
        const std::string name = markup::lowered(
            markup::trimmed(markup::rawAttribute(tag->attributes, "name").value_or("")));
        const std::string_view value =
            markup::trimmed(markup::rawAttribute(tag->attributes, "value").value_or(""));
        const bool isTarget =
            open->kind == PlayerKind::Real ? name == "src" : name == "filename" || name == "url";
        if (isTarget && open->target.empty()) {
            open->target = valueText(value);
            open->targetBytes = markup::trimmed(decodeEntities(value));
        }
        if (name == "autostart") {
            const std::string v = markup::lowered(value);
            open->autoStart = v != "0" && v != "false";
        }
    }
    return out;
}

std::string pagePictureOf(std::string_view pageBytes) {
    markup::TagReader tags(pageBytes);
    for (auto tag = tags.next(); tag; tag = tags.next()) {
        if (tag->name == "body")
            return valueText(markup::rawAttribute(tag->attributes, "background").value_or(""));
    }
    return {};
}

}  // namespace melorin::player
