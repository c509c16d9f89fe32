#pragma once

#include <QComboBox>

namespace melorin::ui {

// A drop-down list that shows its current entry elided ("…") when the box is too narrow for
// it, rather than cut off in the middle of a letter, and opens a list wide enough for its
// longest entry.
class DropDown : public QComboBox {
    Q_OBJECT
public:
    explicit DropDown(QWidget* parent);

    // The text the box shows for its current entry at its present width.
    [[nodiscard]] QString shownText() const;
    void showPopup() override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    [[nodiscard]] int textRoom() const;
};

}  // namespace melorin::ui
