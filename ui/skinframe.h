#pragma once

#include <QWidget>

class QLabel;
class QMenu;
class QSystemTrayIcon;
class QToolButton;

namespace melorin::ui {

// A frameless top-level window that draws its own tool-window frame: a thin caption bar with the
// title and the buttons system menu, minimise to tray, minimise and close, a resize border, and
// the window states "rolled up" (only the caption bar shows) and "in the tray".
// Moving and resizing go through the window system (startSystemMove/startSystemResize), so they
// work on X11 and Wayland alike.
class SkinnedWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kBorder = 3;
    static constexpr int kCaptionHeight = 24;

    explicit SkinnedWindow(QWidget* parent = nullptr);

    // The area below the caption bar that holds the window's controls.
    [[nodiscard]] QWidget* clientArea() const { return client_; }
    // Outer size for a given client size, and back.
    [[nodiscard]] static QSize outerSizeFor(QSize client);
    [[nodiscard]] static QSize clientSizeFor(QSize outer);

    [[nodiscard]] QMenu* systemMenu() const { return systemMenu_; }
    [[nodiscard]] QMenu* trayMenu() const { return trayMenu_; }
    [[nodiscard]] bool isRolledUp() const { return rolledUp_; }
    [[nodiscard]] bool isInTray() const { return inTray_; }
    // Scales the caption bar and its buttons by num / den along with the window's controls.
    void scaleFrame(int num, int den);
    // Scales the window's controls by num / den: the bounds of every named control in the
    // client area (the inner parts of lists and views follow their owners), the fonts of all
    // of them, and the frame. A label keeps at least the width its text needs.
    void scaleContents(int num, int den);

public slots:
    // Back from minimised, rolled-up or tray state.
    void restoreWindow();
    void minimizeWindow();
    void rollUp();
    // Where the desktop has no system tray this minimises instead.
    void minimizeToTray();

protected:
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static constexpr int kFrameButtonWidth = 20;
    static constexpr int kFrameButtonHeight = 18;
    static constexpr int kFrameIconSize = 12;

    [[nodiscard]] Qt::Edges edgesAt(QPoint pos) const;
    QToolButton* makeFrameButton(const QString& objectName, const QString& iconPath,
                                 const QString& tip);

    QWidget* caption_ = nullptr;
    QLabel* title_ = nullptr;
    QLabel* captionIcon_ = nullptr;
    QWidget* client_ = nullptr;
    QMenu* systemMenu_ = nullptr;
    QMenu* trayMenu_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
    bool rolledUp_ = false;
    bool inTray_ = false;
    int heightBeforeRollUp_ = 0;
};

}  // namespace melorin::ui
