#include "ui/onscreen.h"

#include <QEvent>
#include <QWidget>

namespace melorin::ui {

OnScreenWatch::OnScreenWatch(QWidget* watched)
    : QObject(watched), watched_(watched), onScreen_(seen()) {
    // A hidden ancestor hides the widget itself, which is told; a minimised window is only
    // told to the window.
    watched_->installEventFilter(this);
    if (watched_->window() != watched_) watched_->window()->installEventFilter(this);
}

bool OnScreenWatch::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::WindowStateChange:
            // Looked at once the change is complete.
            QMetaObject::invokeMethod(this, &OnScreenWatch::check, Qt::QueuedConnection);
            break;
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

bool OnScreenWatch::seen() const {
    return watched_->isVisible() && !(watched_->window()->windowState() & Qt::WindowMinimized);
}

void OnScreenWatch::check() {
    const bool now = seen();
    if (now == onScreen_) return;
    onScreen_ = now;
    emit changed(now);
}

}  // namespace melorin::ui
