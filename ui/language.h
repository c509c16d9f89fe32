#pragma once

class QApplication;

namespace melorin::ui {

// Melorin speaks Chinese on every system: Qt's own texts (file dialogs, the buttons of message
// boxes) come from Qt's Chinese translations, and dates and numbers take the Chinese form,
// whatever the system's language. False, with a line on stderr, when the translations are not
// installed (Debian's qt6-translations-l10n holds them).
bool useChineseEverywhere(QApplication& app);

}  // namespace melorin::ui
