#pragma once

#include <QObject>

class QWidget;

namespace melorin::ui {

// Whether the user can see a widget: it and every widget above it shown (not on another view,
// not rolled up, the window not in the tray) and its window not minimised. Emits changed() each
// time the answer turns. Lives as long as the widget it watches (its parent).
class OnScreenWatch : public QObject {
    Q_OBJECT
public:
    explicit OnScreenWatch(QWidget* watched);

    [[nodiscard]] bool onScreen() const { return onScreen_; }

signals:
    void changed(bool onScreen);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    [[nodiscard]] bool seen() const;
    void check();

    QWidget* watched_;
    bool onScreen_;
};

}  // namespace melorin::ui
