#include "app/controls.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>

#include "ui/dropdown.h"
#include "ui/lineedit.h"
#include "ui/reportview.h"
#include "ui/skin.h"
#include "ui/viewbuttons.h"

namespace melorin::controls {
namespace {
template <typename W>
W* place(W* w, const QString& name, QRect bounds, ui::Skin skin) {
    w->setObjectName(name);
    w->setGeometry(bounds);
    ui::assignSkin(w, skin);
    return w;
}
}  // namespace

QFrame* panel(QWidget* parent, const QString& name, const QString& caption, QRect bounds) {
    auto* p = place(new QFrame(parent), name, bounds, ui::Skin::Sky);
    p->setProperty("panel", true);
    p->setAccessibleName(caption);
    if (!caption.isEmpty()) {
        auto* strip = label(p, name + QStringLiteral("Caption"), caption,
                            QRect(1, 1, bounds.width() - 2, 19));
        strip->setProperty("panelCaption", true);
        strip->setProperty("alignWidth", true);
        ui::makeBold(strip);
    }
    return p;
}

QWidget* toolBar(QWidget* parent, const QString& name, QRect bounds) {
    auto* w = place(new QWidget(parent), name, bounds, ui::Skin::Sky);
    w->setAttribute(Qt::WA_StyledBackground);
    w->setProperty("toolBar", true);
    return w;
}

QPushButton* button(QWidget* parent, const QString& name, const QString& caption, QRect bounds) {
    auto* b = place(new QPushButton(caption, parent), name, bounds, ui::Skin::Sky);
    b->setAutoDefault(false);
    return b;
}

QPushButton* viewButton(QWidget* parent, const QString& name, const QString& caption,
                        QRect bounds) {
    auto* b = place(new ui::ViewButton(caption, parent), name, bounds, ui::Skin::Sky);
    b->setAutoDefault(false);
    return b;
}

QToolButton* toolButton(QWidget* parent, const QString& name, const QString& caption,
                        const QString& hint, QRect bounds) {
    auto* b = place(new QToolButton(parent), name, bounds, ui::Skin::Sky);
    b->setText(caption);
    b->setToolTip(hint);
    // Tool buttons leave the keyboard focus where the user was typing.
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

QLabel* label(QWidget* parent, const QString& name, const QString& text, QRect bounds) {
    auto* l = place(new QLabel(text, parent), name, bounds, ui::Skin::Sky);
    // Labels show texts from the network (the result count, status texts): never as markup.
    l->setTextFormat(Qt::PlainText);
    l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return l;
}

QLineEdit* edit(QWidget* parent, const QString& name, const QString& text, QRect bounds) {
    return place(new ui::LineEdit(text, parent), name, bounds, ui::Skin::Paper);
}

QPlainTextEdit* memo(QWidget* parent, const QString& name, const QString& text, QRect bounds) {
    auto* m = place(new QPlainTextEdit(text, parent), name, bounds, ui::Skin::Paper);
    m->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    return m;
}

QComboBox* dropDown(QWidget* parent, const QString& name, QRect bounds) {
    auto* c = place(new ui::DropDown(parent), name, bounds, ui::Skin::Paper);
    c->setEditable(false);
    return c;
}

QProgressBar* progressBar(QWidget* parent, const QString& name, QRect bounds) {
    auto* p = place(new QProgressBar(parent), name, bounds, ui::Skin::Paper);
    p->setRange(0, 100);
    p->setValue(0);
    p->setTextVisible(false);
    return p;
}

void setBarValue(QProgressBar* bar, int value) {
    // Without updates the bar's own repaint() does nothing; enabling them again schedules one.
    bar->setUpdatesEnabled(false);
    bar->setValue(value);
    bar->setUpdatesEnabled(true);
}

ui::ReportView* reportList(QWidget* parent, const QString& name, QAbstractItemModel* rows,
                           QRect bounds) {
    auto* list = new ui::ReportView(parent, name);
    if (rows != nullptr) list->setModel(rows);
    list->setGeometry(bounds);
    ui::assignSkin(list, ui::Skin::Paper);
    return list;
}

QStringList resultColumns() {
    return {QString(), QStringLiteral("歌手名"), QStringLiteral("下载地址"), QStringLiteral("大小"),
            QStringLiteral("类型")};
}

}  // namespace melorin::controls
