// The card editor's widgets through ui/cardboxes, and the saved card opened in a real browser.
#include <QDir>
#include <QFontMetricsF>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "card/savecard.h"
#include "core/text.h"
#include "tests/app/guitestmain.h"
#include "tests/app/pagescript.h"
#include "ui/cardboxes.h"

using namespace melorin;

namespace {

core::SongRow song(std::string type) {
    return {core::RowShape::File, "1", 1, "七里香", "http://127.0.0.1:1/qlx." + type, "3M", type};
}

// Loads the page and gives the natural width of its background picture (0 when it fails).
int loadBackgroundWidth(QWebEngineView& view, const QString& pagePath, QString* title) {
    QSignalSpy loaded(&view, &QWebEngineView::loadFinished);
    view.setUrl(QUrl::fromLocalFile(pagePath));
    if (!loaded.wait(20000) || !loaded.first().first().toBool()) return -1;
    *title =
        testing::runScript(*view.page(), QStringLiteral("document.querySelector('h2').textContent"))
            .toString();
    return testing::backgroundWidth(*view.page());
}

}  // namespace

class TestCardWidgets : public QObject {
    Q_OBJECT
private slots:
    void shownLinesFollowTheBoxWidth() {
        QPlainTextEdit box;
        box.setLineWrapMode(QPlainTextEdit::WidgetWidth);
        box.resize(150, 200);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QCOMPARE(ui::shownLines(box), QStringList());  // an empty box has no lines

        const QString paragraph =
            QStringLiteral("祝你新年快乐，万事如意，身体健康，心想事成！Happy new year to you all");
        box.setPlainText(QStringLiteral("第一段\n") + paragraph + QStringLiteral("\n\nend\n"));
        const QStringList lines = ui::shownLines(box);
        QVERIFY2(lines.size() >= 6, qPrintable(lines.join(u'|')));
        QCOMPARE(lines.first(), QStringLiteral("第一段"));
        QCOMPARE(lines.mid(lines.size() - 2), (QStringList{QString(), QStringLiteral("end")}));
        const QStringList wrapped = lines.mid(1, lines.size() - 3);
        QCOMPARE(wrapped.join(QString()), paragraph);
        const QFontMetricsF metrics(box.font());
        for (const QString& line : wrapped) {
            QVERIFY2(metrics.horizontalAdvance(line.trimmed()) <= box.viewport()->width(),
                     qPrintable(line));
        }

        // The page takes the lines as shown: one "<br>" line per shown line in a Real card.
        QLineEdit title(QStringLiteral("标题"));
        const card::CardText text = ui::cardText(title, box, QStringLiteral("/p/a.jpg"));
        const std::vector<std::string> page = card::cardPageLines(song("rm"), text);
        const auto first = std::find(page.begin(), page.end(), std::string("<br>")) + 1;
        QCOMPARE(int(page.end() - first) - 2, lines.size());
        for (qsizetype i = 0; i < lines.size(); ++i) {
            QCOMPARE(first[i], "<br>" + core::utf8ToGbk(lines[i].toStdString()));
        }

        box.resize(3000, 200);
        QTRY_COMPARE(ui::shownLines(box).size(), 4);
    }

    void wrapsAreUndoableEditsAtTheRightPlace() {
        QWidget window;
        auto* title = new QLineEdit(QStringLiteral("😀新年快乐吧"), &window);
        auto* content = new QPlainTextEdit(QStringLiteral("😀第一行\n第二行"), &window);
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(title);
        layout->addWidget(content);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));

        // Title: "快乐" after a character outside the basic plane (two UTF-16 units).
        title->setFocus();
        QTRY_VERIFY(title->hasFocus());
        title->setSelection(4, 2);
        const card::EditOutcome onTitle =
            card::pressTag(*card::tagOfButton("h1btn"), ui::editorBoxes(*content, *title));
        QVERIFY(onTitle.wrap && onTitle.wrap->box == card::Box::Title);
        ui::applyWrap(*title, *onTitle.wrap);
        // The title becomes the wrapped selection; one undo brings the rest back.
        QCOMPARE(title->text(), QStringLiteral("<h1>快乐</h1>"));
        QCOMPARE(title->cursorPosition(), 11);
        QVERIFY(!title->hasSelectedText());
        title->undo();
        QCOMPARE(title->text(), QStringLiteral("😀新年快乐吧"));

        // Content: "二" on the second line; the font pick needs no focus.
        title->setFocus();
        QTextCursor cursor = content->textCursor();
        cursor.setPosition(7);
        cursor.setPosition(8, QTextCursor::KeepAnchor);
        content->setTextCursor(cursor);
        const card::EditorBoxes boxes = ui::editorBoxes(*content, *title);
        QCOMPARE(boxes.focus, card::Focus::Title);
        QCOMPARE(boxes.content.selection, (card::Selection{17, 3}));
        const card::EditOutcome onContent =
            card::pickFont(card::fontOpeningTag("0000FF", "@WenQuanYi Micro Hei"), boxes);
        QVERIFY(onContent.wrap && onContent.wrap->box == card::Box::Content);
        ui::applyWrap(*content, *onContent.wrap);
        QCOMPARE(content->toPlainText(),
                 QStringLiteral("😀第一行\n第<font color=#0000FF face='@WenQuanYi Micro "
                                "Hei'>二</font>行"));
        QCOMPARE(ui::boxText(*content), onContent.wrap->after);
        content->undo();
        QCOMPARE(content->toPlainText(), QStringLiteral("😀第一行\n第二行"));

        content->setFocus();
        QTRY_COMPARE(ui::editorFocus(*content, *title), card::Focus::Content);
    }

    void buttonFaceComesFromTheDesktopPalette() {
        const QColor face = QGuiApplication::palette().color(QPalette::Active, QPalette::Button);
        QCOMPARE(QString::fromStdString(card::colourText("clBtnFace", ui::desktopColours())),
                 face.name().mid(1).toUpper());
        QCOMPARE(card::colourText("clRed", ui::desktopColours()), std::string("FF0000"));
    }

    void fontFacesSortedByName() {
        const QStringList faces = ui::fontFaces();
        QVERIFY(!faces.isEmpty());
        for (qsizetype i = 1; i < faces.size(); ++i) {
            QVERIFY2(QString::compare(faces[i - 1], faces[i], Qt::CaseInsensitive) <= 0 &&
                         faces[i - 1] != faces[i],
                     qPrintable(faces[i - 1] + u' ' + faces[i]));
        }
        for (const QString& f : faces) {
            if (f.startsWith(u'@')) QVERIFY2(faces.contains(f.mid(1)), qPrintable(f));
        }
        // A Chinese font also comes as its vertical-writing variant.
        if (faces.contains(QStringLiteral("WenQuanYi Micro Hei"))) {
            QVERIFY(faces.contains(QStringLiteral("@WenQuanYi Micro Hei")));
        }
    }

    void savedCardOpensWithItsPictureElsewhere() {
        QTemporaryDir dir;
        const QString programDir = dir.filePath(QStringLiteral("程序 #1/"));
        QVERIFY(QDir().mkpath(programDir + QStringLiteral("pic")));
        const QString picture = programDir + QStringLiteral("pic/背景.jpg");
        QImage image(37, 23, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        QVERIFY(image.save(picture, "JPG"));
        const card::CardText text{"新年快乐", {"祝福"}, picture.toStdString()};
        QCOMPARE(card::generateCardPage(programDir.toStdString(), std::vector{song("mp3")}, text),
                 std::nullopt);

        QWebEngineView view;
        view.resize(400, 300);
        view.show();
        QString shownTitle;
        const QString page = programDir + QStringLiteral("card.html");
        QCOMPARE(loadBackgroundWidth(view, page, &shownTitle), 37);
        QCOMPARE(shownTitle, QStringLiteral("新年快乐"));

        const QString saved = dir.filePath(QStringLiteral("saved"));
        QVERIFY(QDir().mkpath(saved));
        QCOMPARE(card::savePageWithPicture(page.toStdString(),
                                           (saved + QStringLiteral("/给朋友.html")).toStdString()),
                 std::nullopt);
        // Another computer: the folder moved, the program's picture gone.
        const QString elsewhere = dir.filePath(QStringLiteral("另一台电脑"));
        QVERIFY(QDir().rename(saved, elsewhere));
        QVERIFY(QFile::remove(picture));
        QCOMPARE(loadBackgroundWidth(view, elsewhere + QStringLiteral("/给朋友.html"), &shownTitle),
                 37);
        QCOMPARE(shownTitle, QStringLiteral("新年快乐"));
    }
};

MELORIN_GUI_TEST_MAIN(TestCardWidgets)
#include "test_card_widgets.moc"
