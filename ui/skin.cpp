#include "ui/skin.h"

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QWidget>

// Resources of a static library are only linked when something names them.
static void initSkinResources() {
    Q_INIT_RESOURCE(skins);
}

namespace melorin::ui {

void assignSkin(QWidget* widget, Skin skin) {
    widget->setProperty("skin",
                        skin == Skin::Sky ? QStringLiteral("sky") : QStringLiteral("paper"));
}

void makeBold(QWidget* widget) {
    QFont f = widget->font();
    f.setBold(true);
    widget->setFont(f);
}

void applySkins(QApplication& app) {
    initSkinResources();
    QString sheet;
    for (const char* name : {":/skins/sky.qss", ":/skins/paper.qss"}) {
        QFile f(QString::fromLatin1(name));
        if (f.open(QIODevice::ReadOnly)) sheet += QString::fromUtf8(f.readAll());
    }
    app.setStyleSheet(sheet);
}

}  // namespace melorin::ui
