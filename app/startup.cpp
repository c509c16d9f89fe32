#include "app/startup.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QStandardPaths>
#include <QStyle>
#include <QTemporaryFile>

namespace melorin {
namespace {

QString withSlash(QString folder) {
    if (!folder.endsWith(u'/')) folder += u'/';
    return folder;
}

bool canWriteInto(const QString& folder) {
    // The permission bits alone lie for root and for read-only mounts: try it.
    QTemporaryFile probe(withSlash(folder) + QStringLiteral(".melorin-probe-XXXXXX"));
    return probe.open();
}

}  // namespace

void configureApplication(QApplication& app) {
    QApplication::setApplicationName(QStringLiteral("Melorin"));
    QApplication::setDesktopFileName(QStringLiteral("melorin"));
    app.setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/melorin/icons/melorin.png")));
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QStringLiteral("hicolor")) {
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    }
}

QString resolveProgramDir(const QString& executableDir, QString* note) {
    const QString dir = withSlash(QDir::cleanPath(QFileInfo(executableDir).absoluteFilePath()));
    if (canWriteInto(dir)) return dir;
    const QString fallback =
        withSlash(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    QDir().mkpath(fallback);
    if (note != nullptr) {
        *note = QStringLiteral("melorin: %1 cannot be written; using %2 as the program folder")
                    .arg(dir, fallback);
    }
    return fallback;
}

bool ensureFolder(const QString& folder) {
    QDir d;
    return d.exists(folder) || d.mkdir(folder);
}

QVector<QIcon> loadKindIcons() {
    struct Kind {
        const char* sampleName;
        const char* fallback;  // the theme's icon where it has none for the type
    };
    // A FLASH item is an animation: the video icon where the theme has no Flash icon.
    static const Kind kKinds[] = {{"1.mp3", "audio-x-generic"}, {"1.RM", "audio-x-generic"},
                                  {"1.WMA", "audio-x-generic"}, {"1.ASF", "audio-x-generic"},
                                  {"1.RAM", "audio-x-generic"}, {"1.swf", "video-x-generic"}};
    const QMimeDatabase db;
    const QIcon generic = QIcon::fromTheme(QStringLiteral("text-x-generic"),
                                           qApp->style()->standardIcon(QStyle::SP_FileIcon));
    QVector<QIcon> icons;
    for (const Kind& kind : kKinds) {
        const QMimeType type =
            db.mimeTypeForFile(QString::fromLatin1(kind.sampleName), QMimeDatabase::MatchExtension);
        QIcon icon = QIcon::fromTheme(type.iconName());
        if (icon.isNull()) icon = QIcon::fromTheme(type.genericIconName());
        if (icon.isNull()) icon = QIcon::fromTheme(QString::fromLatin1(kind.fallback));
        if (icon.isNull()) icon = generic;
        icons.push_back(QIcon(icon.pixmap(16, 16)));
    }
    return icons;
}

}  // namespace melorin
