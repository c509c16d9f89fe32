#pragma once

#include <QLineEdit>

namespace melorin::ui {

// An edit box that keeps its selection when the keyboard focus leaves it, as the program's
// boxes always have: a tag button or a colour pick acts on the selection the user made, even
// after a click elsewhere. The kept selection shows in the inactive highlight.
class LineEdit : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

protected:
    void focusOutEvent(QFocusEvent* event) override;
};

}  // namespace melorin::ui
