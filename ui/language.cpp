#include "ui/language.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>

namespace melorin::ui {

bool useChineseEverywhere(QApplication& app) {
    const QLocale chinese(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China);
    QLocale::setDefault(chinese);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    bool loaded = false;
    // "qt" gathers Qt's modules; "qtbase" on its own where only that one is installed.
    for (const QString& catalogue : {QStringLiteral("qt"), QStringLiteral("qtbase")}) {
        auto* translator = new QTranslator(&app);
        if (translator->load(chinese, catalogue, QStringLiteral("_"), folder) &&
            QCoreApplication::installTranslator(translator)) {
            loaded = true;
        } else {
            delete translator;
        }
    }
    if (!loaded) {
        std::fprintf(stderr, "melorin: Qt's Chinese translations are missing from %s\n",
                     folder.toLocal8Bit().constData());
    }
    return loaded;
}

}  // namespace melorin::ui
