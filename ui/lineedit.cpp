#include "ui/lineedit.h"

namespace melorin::ui {

void LineEdit::focusOutEvent(QFocusEvent* event) {
    const int start = selectionStart();
    const int length = selectionLength();
    const bool caretAtStart = length > 0 && cursorPosition() == start;
    QLineEdit::focusOutEvent(event);
    if (length == 0 || hasSelectedText()) return;
    // The caret goes back to the end it was at, so Shift+arrows go on from there.
    if (caretAtStart) {
        setSelection(start + length, -length);
    } else {
        setSelection(start, length);
    }
}

}  // namespace melorin::ui
