#include "card/editrules.h"

#include <algorithm>

namespace melorin::card {
namespace {

bool continuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The selection inside the text and on character boundaries, whatever the caller passed.
Selection clamped(const BoxText& box) {
    const std::string& t = box.text;
    std::size_t start = std::min(box.selection.start, t.size());
    std::size_t end = start + std::min(box.selection.length, t.size() - start);
    while (start > 0 && start < t.size() && continuationByte(t[start])) --start;
    while (end < t.size() && continuationByte(t[end])) ++end;
    return {start, end - start};
}

// The content box keeps the text around its selection; the title becomes exactly the wrapped
// selection, the rest of it dropped (the undo button brings it back).
Wrap wrapSelection(Box which, const BoxText& box, std::string_view opening,
                   std::string_view closing) {
    const Selection s = clamped(box);
    Wrap w;
    w.box = which;
    w.replaced = which == Box::Title ? Selection{0, box.text.size()} : s;
    w.replacement.reserve(opening.size() + s.length + closing.size());
    w.replacement.append(opening).append(box.text, s.start, s.length).append(closing);
    w.after.text = box.text;
    w.after.text.replace(w.replaced.start, w.replaced.length, w.replacement);
    w.after.selection = {w.replaced.start + w.replacement.size(), 0};
    return w;
}

bool hasSelection(const BoxText& box) {
    return clamped(box).length > 0;
}

}  // namespace

EditOutcome pressTag(const Tag& tag, const EditorBoxes& boxes) {
    // The content box is looked at first: while it holds a selection, the title's is ignored.
    if (hasSelection(boxes.content)) {
        if (tag.needsFocus && boxes.focus != Focus::Content) return {};
        return {wrapSelection(Box::Content, boxes.content, tag.opening, tag.closing), {}};
    }
    if (!hasSelection(boxes.title)) return {std::nullopt, std::string(kSelectFirstMessage)};
    if (tag.needsFocus && boxes.focus != Focus::Title) return {};
    return {wrapSelection(Box::Title, boxes.title, tag.opening, tag.closing), {}};
}

std::string fontOpeningTag(std::string_view colourText, std::string_view face) {
    std::string tag = "<font color=#";
    tag.append(colourText).append(" face='").append(face).append("'>");
    return tag;
}

EditOutcome pickFont(std::string_view openingTag, const EditorBoxes& boxes) {
    if (hasSelection(boxes.content)) {
        return {wrapSelection(Box::Content, boxes.content, openingTag, "</font>"), {}};
    }
    if (hasSelection(boxes.title)) {
        return {wrapSelection(Box::Title, boxes.title, openingTag, "</font>"), {}};
    }
    return {};
}

Box undoTarget(Focus focus) {
    return focus == Focus::Content ? Box::Content : Box::Title;
}

}  // namespace melorin::card
