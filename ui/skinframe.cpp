#include "ui/skinframe.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTextDocument>
#include <QToolButton>
#include <QWindow>

#include "ui/skin.h"

namespace melorin::ui {
namespace {
// Tool tips take any text that looks like markup as markup; the caption is shown as it is.
QString plainToolTip(const QString& text) {
    return Qt::mightBeRichText(text) ? QStringLiteral("<p style='white-space:pre'>") +
                                           text.toHtmlEscaped() + QStringLiteral("</p>")
                                     : text;
}
}  // namespace

SkinnedWindow::SkinnedWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("SkinnedWindow"));
    setAttribute(Qt::WA_StyledBackground);
    setMouseTracking(true);
    assignSkin(this, Skin::Sky);

    caption_ = new QWidget(this);
    caption_->setObjectName(QStringLiteral("SkinCaption"));
    caption_->setAttribute(Qt::WA_StyledBackground);
    caption_->installEventFilter(this);
    auto* row = new QHBoxLayout(caption_);
    row->setContentsMargins(6, 0, 2, 0);
    row->setSpacing(1);
    auto* icon = new QLabel(caption_);
    captionIcon_ = icon;
    icon->setPixmap(QApplication::windowIcon().pixmap(16, 16));
    title_ = new QLabel(caption_);
    title_->setObjectName(QStringLiteral("SkinCaptionTitle"));
    title_->setTextFormat(Qt::PlainText);  // the caption holds the address a page stated
    makeBold(title_);
    title_->installEventFilter(this);
    icon->installEventFilter(this);
    row->addWidget(icon);
    row->addSpacing(4);
    row->addWidget(title_, 1);

    systemMenu_ = new QMenu(this);
    systemMenu_->setObjectName(QStringLiteral("SeSkinPopupMenu1"));
    trayMenu_ = new QMenu(this);
    trayMenu_->setObjectName(QStringLiteral("SeSkinPopupMenu2"));

    QToolButton* menuButton =
        makeFrameButton(QStringLiteral("SkinSysMenuButton"),
                        QStringLiteral(":/skins/sky/sysmenu.png"), QStringLiteral("系统菜单"));
    connect(menuButton, &QToolButton::clicked, this, [this, menuButton] {
        systemMenu_->popup(menuButton->mapToGlobal(QPoint(0, menuButton->height())));
    });
    QToolButton* trayButton =
        makeFrameButton(QStringLiteral("SkinTrayButton"), QStringLiteral(":/skins/sky/tray.png"),
                        QStringLiteral("缩为图标"));
    connect(trayButton, &QToolButton::clicked, this, &SkinnedWindow::minimizeToTray);
    QToolButton* minButton =
        makeFrameButton(QStringLiteral("SkinMinimizeButton"),
                        QStringLiteral(":/skins/sky/minimize.png"), QStringLiteral("最小化"));
    connect(minButton, &QToolButton::clicked, this, &SkinnedWindow::minimizeWindow);
    QToolButton* closeButton =
        makeFrameButton(QStringLiteral("SkinCloseButton"), QStringLiteral(":/skins/sky/close.png"),
                        QStringLiteral("关闭"));
    connect(closeButton, &QToolButton::clicked, this, &QWidget::close);
    for (QToolButton* b : {menuButton, trayButton, minButton, closeButton}) row->addWidget(b);

    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("SkinClient"));
    client_->setAttribute(Qt::WA_StyledBackground);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(kBorder, kBorder, kBorder, kBorder);
    outer->setSpacing(0);
    caption_->setFixedHeight(kCaptionHeight);
    outer->addWidget(caption_);
    outer->addWidget(client_, 1);

    connect(this, &QWidget::windowTitleChanged, title_, &QLabel::setText);
}

QSize SkinnedWindow::outerSizeFor(QSize client) {
    return {client.width() + 2 * kBorder, client.height() + kCaptionHeight + 2 * kBorder};
}

QSize SkinnedWindow::clientSizeFor(QSize outer) {
    return {outer.width() - 2 * kBorder, outer.height() - kCaptionHeight - 2 * kBorder};
}

void SkinnedWindow::scaleFrame(int num, int den) {
    const auto scaled = [num, den](int v) {
        return static_cast<int>(static_cast<long long>(v) * num / den);
    };
    caption_->setFixedHeight(scaled(kCaptionHeight));
    for (QToolButton* b : caption_->findChildren<QToolButton*>()) {
        b->setFixedSize(scaled(kFrameButtonWidth), scaled(kFrameButtonHeight));
        b->setIconSize(QSize(scaled(kFrameIconSize), scaled(kFrameIconSize)));
    }
    captionIcon_->setPixmap(QApplication::windowIcon().pixmap(scaled(16), scaled(16)));
}

void SkinnedWindow::scaleContents(int num, int den) {
    const auto scaled = [num, den](int v) {
        return static_cast<int>(static_cast<long long>(v) * num / den);
    };
    // Polished first, as showing the window would: a later polish would put the skin's design
    // fonts back.
    for (QWidget* w : findChildren<QWidget*>()) w->ensurePolished();
    for (QWidget* w : client_->findChildren<QWidget*>()) {
        if (w->objectName().isEmpty() || w->objectName().startsWith(QStringLiteral("qt_")))
            continue;
        const QRect g = w->geometry();
        w->setGeometry(scaled(g.x()), scaled(g.y()), scaled(g.width()), scaled(g.height()));
    }
    // Style sheets stop font propagation, so every widget gets its own scaled font; all are
    // read before any is set so none is scaled twice. The skins set no font, or a control
    // would keep the design size of its text.
    QList<QWidget*> fontOwners = findChildren<QWidget*>();
    fontOwners.push_front(this);
    QList<QFont> fonts;
    for (QWidget* w : fontOwners) fonts.push_back(w->font());
    for (qsizetype i = 0; i < fontOwners.size(); ++i) {
        QFont f = fonts[i];
        if (f.pointSizeF() > 0)
            f.setPointSizeF(f.pointSizeF() * num / den);
        else
            f.setPixelSize(scaled(f.pixelSize()));
        fontOwners[i]->setFont(f);
    }
    // Text does not grow quite in proportion (hinting): a label keeps the width its text needs.
    for (QLabel* l : client_->findChildren<QLabel*>()) {
        const int need = l->sizeHint().width();
        if (!l->text().isEmpty() && need > l->width()) l->resize(need, l->height());
    }
    scaleFrame(num, den);
}

QToolButton* SkinnedWindow::makeFrameButton(const QString& objectName, const QString& iconPath,
                                            const QString& tip) {
    auto* b = new QToolButton(caption_);
    b->setObjectName(objectName);
    b->setProperty("frameButton", true);
    b->setIcon(QIcon(iconPath));
    b->setIconSize(QSize(kFrameIconSize, kFrameIconSize));
    b->setFixedSize(kFrameButtonWidth, kFrameButtonHeight);
    b->setToolTip(tip);
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoRaise(true);
    return b;
}

void SkinnedWindow::restoreWindow() {
    if (tray_ != nullptr) tray_->hide();
    inTray_ = false;
    if (rolledUp_) {
        rolledUp_ = false;
        client_->show();
        setMinimumHeight(0);
        resize(width(), heightBeforeRollUp_);
    }
    showNormal();
    raise();
    activateWindow();
}

void SkinnedWindow::minimizeWindow() {
    showMinimized();
}

void SkinnedWindow::rollUp() {
    if (rolledUp_) return;
    heightBeforeRollUp_ = height();
    rolledUp_ = true;
    client_->hide();
    resize(width(), caption_->height() + 2 * kBorder);
}

void SkinnedWindow::minimizeToTray() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        showMinimized();
        return;
    }
    if (tray_ == nullptr) {
        tray_ = new QSystemTrayIcon(windowIcon(), this);
        tray_->setToolTip(plainToolTip(windowTitle()));
        tray_->setContextMenu(trayMenu_);
        connect(tray_, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason r) {
                    if (r == QSystemTrayIcon::Trigger || r == QSystemTrayIcon::DoubleClick)
                        restoreWindow();
                });
    }
    inTray_ = true;
    tray_->show();
    hide();
}

void SkinnedWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange) {
        caption_->setProperty("active", isActiveWindow());
        caption_->style()->unpolish(caption_);
        caption_->style()->polish(caption_);
    }
    QWidget::changeEvent(event);
}

Qt::Edges SkinnedWindow::edgesAt(QPoint pos) const {
    Qt::Edges edges;
    const int grip = kBorder + 2;
    if (pos.x() < grip) edges |= Qt::LeftEdge;
    if (pos.x() >= width() - grip) edges |= Qt::RightEdge;
    if (pos.y() < grip) edges |= Qt::TopEdge;
    if (pos.y() >= height() - grip) edges |= Qt::BottomEdge;
    return edges;
}

void SkinnedWindow::mousePressEvent(QMouseEvent* event) {
    const Qt::Edges edges = edgesAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && edges && !rolledUp_ && windowHandle() != nullptr) {
        windowHandle()->startSystemResize(edges);
        return;
    }
    QWidget::mousePressEvent(event);
}

void SkinnedWindow::mouseMoveEvent(QMouseEvent* event) {
    const Qt::Edges e = edgesAt(event->position().toPoint());
    if ((e & Qt::LeftEdge && e & Qt::TopEdge) || (e & Qt::RightEdge && e & Qt::BottomEdge)) {
        setCursor(Qt::SizeFDiagCursor);
    } else if ((e & Qt::RightEdge && e & Qt::TopEdge) || (e & Qt::LeftEdge && e & Qt::BottomEdge)) {
        setCursor(Qt::SizeBDiagCursor);
    } else if (e & (Qt::LeftEdge | Qt::RightEdge)) {
        setCursor(Qt::SizeHorCursor);
    } else if (e & (Qt::TopEdge | Qt::BottomEdge)) {
        setCursor(Qt::SizeVerCursor);
    } else {
        unsetCursor();
    }
    QWidget::mouseMoveEvent(event);
}

bool SkinnedWindow::eventFilter(QObject* watched, QEvent* event) {
    // Only the caption bar and its labels move the window; subclasses filter other objects too.
    const bool onCaption = watched == caption_ || watched == title_ || watched == captionIcon_;
    if (!onCaption) return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::MouseButtonPress) {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::LeftButton && windowHandle() != nullptr) {
            windowHandle()->startSystemMove();
            return true;
        }
        if (me->button() == Qt::RightButton) {
            systemMenu_->popup(me->globalPosition().toPoint());
            return true;
        }
    } else if (event->type() == QEvent::MouseButtonDblClick) {
        if (rolledUp_)
            restoreWindow();
        else
            rollUp();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace melorin::ui
