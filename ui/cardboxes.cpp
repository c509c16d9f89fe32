#include "ui/cardboxes.h"

#include <QAbstractTextDocumentLayout>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextLayout>
#include <algorithm>

namespace melorin::ui {
namespace {

std::size_t utf8Offset(QStringView text, qsizetype utf16Position) {
    return static_cast<std::size_t>(text.left(utf16Position).toUtf8().size());
}

qsizetype utf16Offset(QStringView text, std::size_t utf8Position) {
    const QByteArray utf8 = text.toUtf8();
    const auto bytes = static_cast<qsizetype>(std::min<std::size_t>(utf8Position, utf8.size()));
    return QString::fromUtf8(utf8.constData(), bytes).size();
}

card::BoxText fromQt(const QString& text, qsizetype start, qsizetype end) {
    const std::size_t from = utf8Offset(text, start);
    return {text.toStdString(), {from, utf8Offset(text, end) - from}};
}

// The document's text with its paragraph breaks as "\n"; positions are the cursor's.
QString documentText(const QPlainTextEdit& box) {
    QString text = box.document()->toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    return text;
}

}  // namespace

card::BoxText boxText(const QLineEdit& box) {
    const QString text = box.text();
    if (!box.hasSelectedText()) return fromQt(text, box.cursorPosition(), box.cursorPosition());
    const qsizetype start = box.selectionStart();
    return fromQt(text, start, start + box.selectedText().size());
}

card::BoxText boxText(const QPlainTextEdit& box) {
    const QTextCursor cursor = box.textCursor();
    return fromQt(documentText(box), cursor.selectionStart(), cursor.selectionEnd());
}

card::Focus editorFocus(const QPlainTextEdit& content, const QLineEdit& title) {
    if (content.hasFocus()) return card::Focus::Content;
    if (title.hasFocus()) return card::Focus::Title;
    return card::Focus::Elsewhere;
}

card::EditorBoxes editorBoxes(const QPlainTextEdit& content, const QLineEdit& title) {
    return {boxText(content), boxText(title), editorFocus(content, title)};
}

void applyWrap(QLineEdit& box, const card::Wrap& wrap) {
    const QString text = box.text();
    const qsizetype start = utf16Offset(text, wrap.replaced.start);
    const qsizetype end = utf16Offset(text, wrap.replaced.start + wrap.replaced.length);
    box.setSelection(static_cast<int>(start), static_cast<int>(end - start));
    box.insert(QString::fromStdString(wrap.replacement));  // undoable, caret after it
}

void applyWrap(QPlainTextEdit& box, const card::Wrap& wrap) {
    const QString text = documentText(box);
    QTextCursor cursor = box.textCursor();
    cursor.setPosition(static_cast<int>(utf16Offset(text, wrap.replaced.start)));
    cursor.setPosition(
        static_cast<int>(utf16Offset(text, wrap.replaced.start + wrap.replaced.length)),
        QTextCursor::KeepAnchor);
    cursor.insertText(QString::fromStdString(wrap.replacement));
    box.setTextCursor(cursor);
}

QStringList shownLines(const QPlainTextEdit& box) {
    QStringList lines;
    const QTextDocument* document = box.document();
    QAbstractTextDocumentLayout* layout = document->documentLayout();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        // Asking for the block's extent lays it out at the box's width if that has not happened.
        layout->blockBoundingRect(block);
        const QTextLayout* textLayout = block.layout();
        const QString text = block.text();
        if (textLayout == nullptr || textLayout->lineCount() == 0) {
            lines << text;
            continue;
        }
        for (int i = 0; i < textLayout->lineCount(); ++i) {
            const QTextLine line = textLayout->lineAt(i);
            QString shown = text.mid(line.textStart(), line.textLength());
            if (shown.endsWith(QChar::LineSeparator)) shown.chop(1);  // a Shift+Enter break
            lines << shown;
        }
    }
    if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
    return lines;
}

card::CardText cardText(const QLineEdit& title, const QPlainTextEdit& content,
                        const QString& picture) {
    card::CardText card;
    card.title = title.text().toStdString();
    for (const QString& line : shownLines(content)) card.contentLines.push_back(line.toStdString());
    card.picture = picture.toStdString();
    return card;
}

PaletteSlot paletteSlotOf(card::DisplayElement element) {
    using E = card::DisplayElement;
    using P = QPalette;
    switch (element) {
        case E::ActiveBorder:
            return {P::Active, P::Window};
        case E::ActiveCaption:
            return {P::Active, P::Highlight};
        case E::AppWorkSpace:
            return {P::Active, P::Mid};
        case E::Background:
            return {P::Active, P::Dark};
        case E::BtnFace:
            return {P::Active, P::Button};
        case E::BtnHighlight:
            return {P::Active, P::Light};
        case E::BtnShadow:
            return {P::Active, P::Dark};
        case E::BtnText:
            return {P::Active, P::ButtonText};
        case E::CaptionText:
            return {P::Active, P::HighlightedText};
        case E::GradientActiveCaption:
            return {P::Active, P::Highlight};
        case E::GradientInactiveCaption:
            return {P::Disabled, P::Highlight};
        case E::GrayText:
            return {P::Disabled, P::Text};
        case E::Highlight:
            return {P::Active, P::Highlight};
        case E::HighlightText:
            return {P::Active, P::HighlightedText};
        case E::InactiveBorder:
            return {P::Inactive, P::Window};
        case E::InactiveCaption:
            return {P::Disabled, P::Highlight};
        case E::InactiveCaptionText:
            return {P::Disabled, P::HighlightedText};
        case E::InfoBk:
            return {P::Active, P::ToolTipBase};
        case E::InfoText:
            return {P::Active, P::ToolTipText};
        case E::Menu:
            return {P::Active, P::Window};
        case E::MenuText:
            return {P::Active, P::WindowText};
        case E::ScrollBar:
            return {P::Active, P::Midlight};
        case E::DkShadow3D:
            return {P::Active, P::Shadow};
        case E::Light3D:
            return {P::Active, P::Midlight};
        case E::Window:
            return {P::Active, P::Base};
        case E::WindowFrame:
            return {P::Active, P::Shadow};
        case E::WindowText:
            return {P::Active, P::Text};
    }
    return {};
}

card::ElementColours paletteColours(const QPalette& palette) {
    return [palette](card::DisplayElement element) {
        const PaletteSlot slot = paletteSlotOf(element);
        const QColor c = palette.color(slot.group, slot.role);
        return card::Rgb{static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
                         static_cast<std::uint8_t>(c.blue())};
    };
}

card::ElementColours desktopColours() {
    return [](card::DisplayElement element) {
        return paletteColours(QGuiApplication::palette())(element);
    };
}

QStringList fontFaces() {
    static const QList<QFontDatabase::WritingSystem> kVertical{
        QFontDatabase::SimplifiedChinese, QFontDatabase::TraditionalChinese,
        QFontDatabase::Japanese, QFontDatabase::Korean};
    QStringList faces;
    for (const QString& family : QFontDatabase::families()) {
        // Families that several foundries make come as "Name [Foundry]"; the face is the name.
        QString face = family;
        const qsizetype bracket = face.indexOf(QStringLiteral(" ["));
        if (bracket > 0) face.truncate(bracket);
        faces << face;
        const QList<QFontDatabase::WritingSystem> systems = QFontDatabase::writingSystems(family);
        const bool vertical = std::any_of(kVertical.begin(), kVertical.end(),
                                          [&](auto s) { return systems.contains(s); });
        if (vertical) faces << u'@' + face;
    }
    std::sort(faces.begin(), faces.end(), [](const QString& a, const QString& b) {
        const int c = QString::compare(a, b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    faces.erase(std::unique(faces.begin(), faces.end()), faces.end());
    return faces;
}

}  // namespace melorin::ui
