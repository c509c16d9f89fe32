#pragma once
// What a tag button or a colour/font pick does to the card editor's two boxes, as pure
// functions: the boxes' texts, selections and focus in, the change to make (or a message) out.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "card/tags.h"

namespace melorin::card {

// A selection in a box's UTF-8 text, in bytes.
struct Selection {
    std::size_t start = 0;
    std::size_t length = 0;
    bool operator==(const Selection&) const = default;
};

struct BoxText {
    std::string text;  // UTF-8, raw HTML as the user writes it
    Selection selection;
    bool operator==(const BoxText&) const = default;
};

enum class Box { Content, Title };
enum class Focus { Content, Title, Elsewhere };

// The content box `iememo`, the title box `nameedit` and where the keyboard focus is.
struct EditorBoxes {
    BoxText content;
    BoxText title;
    Focus focus = Focus::Elsewhere;
};

// One change: the part `replaced` of `box` becomes `replacement`. For the content box that is
// the selection, the rest of its text kept; for the title box the whole title, which becomes
// exactly the wrapped selection. `after` is that box afterwards: no selection, the caret after
// the inserted text. The window applies it as one undoable edit of the box.
struct Wrap {
    Box box = Box::Content;
    Selection replaced;
    std::string replacement;
    BoxText after;
    bool operator==(const Wrap&) const = default;
};

// Neither a wrap nor a message means: nothing happens.
struct EditOutcome {
    std::optional<Wrap> wrap;
    std::string message;  // to show in a message box when not empty
};

inline constexpr std::string_view kSelectFirstMessage = "请选择相应内容后再点击本按钮！";

// A tag button: a content selection is wrapped if the content box has the focus (any focus for
// a tag that needs none), else nothing happens; without one, a title selection is wrapped the
// same way; with no selection in either box the user is asked to select first.
EditOutcome pressTag(const Tag& tag, const EditorBoxes& boxes);

// "<font color=#" colour " face='" face "'>"; the face as listed, a leading "@" included.
std::string fontOpeningTag(std::string_view colourText, std::string_view face);

// A colour or font pick: wraps the content selection, else the title selection, in the font
// tag, wherever the focus is; nothing at all without a selection.
EditOutcome pickFont(std::string_view openingTag, const EditorBoxes& boxes);

// The box whose last change the undo button takes back.
Box undoTarget(Focus focus);

}  // namespace melorin::card
