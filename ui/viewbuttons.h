#pragma once
// The buttons that switch the window's views, as assistive technology sees them: push buttons
// named by their captions, "checked" on the view that is up. A plain checkable push button is
// announced as a check box; this class of its own gets its own accessible interface.
#include <QPushButton>

namespace melorin::ui {

class ViewButton final : public QPushButton {
    Q_OBJECT
public:
    ViewButton(const QString& caption, QWidget* parent);
};

}  // namespace melorin::ui
