#pragma once
// The card editor's widgets as the card library sees them: the boxes' texts and selections in
// UTF-8, wraps applied as undoable edits, the content box's shown lines, the desktop palette
// for the colour box's display-element entries and the font box's faces.
#include <QPalette>
#include <QString>
#include <QStringList>

#include "card/cardpage.h"
#include "card/colours.h"
#include "card/editrules.h"

class QLineEdit;
class QPlainTextEdit;

namespace melorin::ui {

card::BoxText boxText(const QLineEdit& box);
card::BoxText boxText(const QPlainTextEdit& box);
card::Focus editorFocus(const QPlainTextEdit& content, const QLineEdit& title);
card::EditorBoxes editorBoxes(const QPlainTextEdit& content, const QLineEdit& title);

// One undoable edit of the box, read with boxText() just before; the caret ends after it.
void applyWrap(QLineEdit& box, const card::Wrap& wrap);
void applyWrap(QPlainTextEdit& box, const card::Wrap& wrap);

// The lines the box shows at its current width: a wrapped paragraph gives one line per shown
// line. The empty line after a final line break is no line, so an empty box has none.
QStringList shownLines(const QPlainTextEdit& box);

card::CardText cardText(const QLineEdit& title, const QPlainTextEdit& content,
                        const QString& picture);

// Where a display element's colour is taken from in a Qt palette.
struct PaletteSlot {
    QPalette::ColorGroup group = QPalette::Active;
    QPalette::ColorRole role = QPalette::Window;
};
PaletteSlot paletteSlotOf(card::DisplayElement element);
// The colours of the given palette (copied), and of the desktop's palette at each call.
card::ElementColours paletteColours(const QPalette& palette);
card::ElementColours desktopColours();

// The display's font families by name, case ignored; families for Chinese, Japanese or Korean
// writing also as their vertical-writing variants "@" + family.
QStringList fontFaces();

}  // namespace melorin::ui
