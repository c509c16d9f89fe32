#pragma once
// The ten tag buttons of the card editor's toolbar: what each is called, shows and wraps a
// selection in.
#include <span>
#include <string_view>

namespace melorin::card {

struct Tag {
    std::string_view button;   // the toolbar button's form name, e.g. "h1btn"
    std::string_view caption;  // one character on the button
    std::string_view hint;
    std::string_view opening;
    std::string_view closing;
    // Most buttons only wrap a selection in the box that has the keyboard focus; centring wraps
    // a content selection wherever the focus is.
    bool needsFocus = true;
};

// In toolbar order, left to right.
std::span<const Tag> tags();

// The tag of a button by its form name; null for any other name.
const Tag* tagOfButton(std::string_view button);

}  // namespace melorin::card
