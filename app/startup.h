#pragma once

#include <QIcon>
#include <QString>
#include <QVector>

class QApplication;

namespace melorin {

// The application object as Melorin runs it: its title, icon and desktop name. No display name
// is set, so window titles (and the task bar) show the window's caption and nothing appended.
// Closing the last visible window does not end the program: only the main window's close path
// does (a folder chooser closed while the main window sits in the tray must not quit).
void configureApplication(QApplication& app);

// The program folder: the executable's folder with a trailing "/". Where that folder cannot be
// written, the per-user application data folder instead; `note` then says so (once, for stderr).
QString resolveProgramDir(const QString& executableDir, QString* note);

// Creates `folder` one level deep when it is missing. False when it neither exists nor could be
// made.
bool ensureFolder(const QString& folder);

// The file-type icons in kind order 0 MP3, 1 RM, 2 WMA, 3 ASF, 4 RAM, 5 FLASH, from the
// desktop's MIME icon theme; a generic file icon where the theme has none.
QVector<QIcon> loadKindIcons();

}  // namespace melorin
