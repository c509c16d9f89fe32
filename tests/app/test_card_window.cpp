// The music greeting card in the real window, offscreen against the local service: the editor's
// toolbar and boxes with the focus rules, "卡", "预览" with the song playing, "保存位置" as the
// page file or as the page with its picture, and a page that cannot be written.

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "app/mainwindow.h"
#include "app/songrowmodel.h"
#include "app/webbrowser.h"
#include "player/nativeplayer.h"
#include "player/playbackcoordinator.h"
#include "tests/app/guitestmain.h"
#include "tests/app/pagescript.h"
#include "tests/app/windowfixture.h"
#include "tests/app/windowinside.h"
#include "tests/support/files.h"
#include "tests/support/pageserver.h"
#include "ui/reportview.h"

using melorin::TForm1;
using melorin::player::NativePlayer;
using melorin::testing::backgroundWidth;
using melorin::testing::pickEntry;
using melorin::testing::RecordingUi;
using melorin::testing::typeText;
using melorin::testing::WindowFixture;

namespace {

constexpr int kLoadMs = 30000;
const QString kSelectFirst = QStringLiteral("请选择相应内容后再点击本按钮！");
// What the boxes hold before each edit.
const QString kGreeting = QStringLiteral("祝你 快乐");
const QString kTitle = QStringLiteral("新年 好");

using melorin::testing::fileBytes;

// A text in pieces short enough for a line of the content box, which wraps long lines.
QStringList shortLines(const QString& text) {
    QStringList pieces;
    for (qsizetype i = 0; i < text.size(); i += 24) pieces << text.mid(i, 24);
    return pieces;
}

// A script's string literal over short lines.
QString scriptString(const QString& text) {
    return u'\'' + shortLines(text).join(QStringLiteral("'+\n'")) + u'\'';
}

}  // namespace

class TestCardWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void toolbarEdits_data();
    void toolbarEdits();
    void undoTakesTheFocusedBox();
    void selectionsOutliveFocusAndPicks();
    void previewPlaysAndSaves();
    void pageScriptReadsNoFile();
    void unwritablePageReachesTheLog();

private:
    WindowFixture fx_{QStringLiteral("程序 #1/")};
    QString picture_;
    RecordingUi* ui_ = nullptr;
    TForm1* form_ = nullptr;
    [[nodiscard]] melorin::testing::WindowInside win() const { return inside(*form_); }
};

void TestCardWindow::initTestCase() {
    QVERIFY2(fx_.startService(), qPrintable(fx_.serviceError()));
    QVERIFY(QDir().mkpath(fx_.programDir() + QStringLiteral("pic")));
    picture_ = fx_.programDir() + QStringLiteral("pic/背景.jpg");
    QImage image(37, 23, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QVERIFY(image.save(picture_, "JPG"));
}

void TestCardWindow::init() {
    form_ = &fx_.createWindow();
    ui_ = &fx_.ui();
    QVERIFY(fx_.activateWindow());
    QTest::mouseClick(win().functions.Button5, Qt::LeftButton);
    QVERIFY(win().card.setpanel->isVisible());
}

void TestCardWindow::cleanup() {
    fx_.closeWindow();
}

void TestCardWindow::toolbarEdits_data() {
    // `control`: a tool button's name, or "colour:ENTRY" / "font:INDEX" for a pick. Selections
    // are (start, length) in characters. "{face}" in an expectation is the font box's entry.
    QTest::addColumn<QString>("control");
    QTest::addColumn<QPoint>("contentSelection");
    QTest::addColumn<QPoint>("titleSelection");
    QTest::addColumn<QString>("focus");  // "content", "title" or "elsewhere"
    QTest::addColumn<QString>("contentAfter");
    QTest::addColumn<QString>("titleAfter");
    QTest::addColumn<QString>("message");

    const QPoint none(0, 0);
    QTest::newRow("h1 on the content selection")
        << "h1btn" << QPoint(3, 2) << none << "content" << QStringLiteral("祝你 <h1>快乐</h1>")
        << kTitle << QString();
    QTest::newRow("marquee on a title selection: the title becomes the wrapped selection")
        << "htmlrunbtn" << none << QPoint(3, 1) << "title" << kGreeting
        << QStringLiteral("<br><marquee>好</marquee>") << QString();
    QTest::newRow("content selection without its focus: nothing, title selection ignored")
        << "strongbtn" << QPoint(0, 2) << QPoint(0, 2) << "title" << kGreeting << kTitle
        << QString();
    QTest::newRow("centring needs no focus")
        << "centrebtn" << QPoint(0, 2) << none << "title"
        << QStringLiteral("<center>祝你</center> 快乐") << kTitle << QString();
    QTest::newRow("no selection anywhere asks for one")
        << "ubtn" << none << none << "content" << kGreeting << kTitle << kSelectFirst;
    QTest::newRow("colour pick on the content selection, focus elsewhere")
        << "colour:clRed" << QPoint(0, 2) << none << "elsewhere"
        << QStringLiteral("<font color=#FF0000 face='{face}'>祝你</font> 快乐") << kTitle
        << QString();
    QTest::newRow("font pick on a title selection, focus elsewhere")
        << "font:1" << none << QPoint(0, 2) << "elsewhere" << kGreeting
        << QStringLiteral("<font color=#000000 face='{face}'>新年</font>") << QString();
}

void TestCardWindow::toolbarEdits() {
    QFETCH(QString, control);
    QFETCH(QPoint, contentSelection);
    QFETCH(QPoint, titleSelection);
    QFETCH(QString, focus);
    QFETCH(QString, contentAfter);
    QFETCH(QString, titleAfter);
    QFETCH(QString, message);

    win().card.iememo->setPlainText(kGreeting);
    QTextCursor cursor = win().card.iememo->textCursor();
    cursor.setPosition(contentSelection.x());
    cursor.setPosition(contentSelection.x() + contentSelection.y(), QTextCursor::KeepAnchor);
    win().card.iememo->setTextCursor(cursor);
    win().card.nameedit->setText(kTitle);
    win().card.nameedit->setSelection(titleSelection.x(), titleSelection.y());
    QWidget* focused = focus == u"content" ? static_cast<QWidget*>(win().card.iememo)
                       : focus == u"title" ? static_cast<QWidget*>(win().card.nameedit)
                                           : static_cast<QWidget*>(win().card.previewbtn);
    focused->setFocus();
    QTRY_VERIFY(focused->hasFocus());

    if (control.startsWith(u"colour:")) {
        pickEntry(win().card.colorcombox, win().card.colorcombox->findText(control.mid(7)));
    } else if (control.startsWith(u"font:")) {
        pickEntry(win().card.fontsizecombox, control.mid(5).toInt());
    } else {
        QTest::mouseClick(form_->findChild<QToolButton*>(control), Qt::LeftButton);
    }
    // Neither a click on a tool button nor a pick moves the keyboard focus.
    QVERIFY(focused->hasFocus());
    const QString face = win().card.fontsizecombox->currentText();
    QCOMPARE(win().card.iememo->toPlainText(),
             contentAfter.replace(QStringLiteral("{face}"), face));
    QCOMPARE(win().card.nameedit->text(), titleAfter.replace(QStringLiteral("{face}"), face));
    QCOMPARE(ui_->messages, message.isEmpty() ? QStringList() : QStringList{message});
}

void TestCardWindow::undoTakesTheFocusedBox() {
    win().card.iememo->setPlainText(kGreeting);
    win().card.iememo->selectAll();
    win().card.iememo->setFocus();
    QTRY_VERIFY(win().card.iememo->hasFocus());
    QTest::mouseClick(win().card.bigbtn, Qt::LeftButton);
    win().card.nameedit->setText(kTitle);
    win().card.nameedit->selectAll();
    win().card.nameedit->setFocus();
    QTRY_VERIFY(win().card.nameedit->hasFocus());
    QTest::mouseClick(win().card.h2btn, Qt::LeftButton);
    QCOMPARE(win().card.nameedit->text(), QStringLiteral("<h2>新年 好</h2>"));

    // The focus elsewhere: the title's change is taken back, the content's stays.
    win().card.previewbtn->setFocus();
    QTest::mouseClick(win().card.backbtn, Qt::LeftButton);
    QCOMPARE(win().card.nameedit->text(), kTitle);
    QCOMPARE(win().card.iememo->toPlainText(), QStringLiteral("<big>祝你 快乐</big>"));
    win().card.iememo->setFocus();
    QTRY_VERIFY(win().card.iememo->hasFocus());
    QTest::mouseClick(win().card.backbtn, Qt::LeftButton);
    QCOMPARE(win().card.iememo->toPlainText(), kGreeting);
}

void TestCardWindow::selectionsOutliveFocusAndPicks() {
    // As the user works: clicks into a box, types, selects with the keyboard, clicks elsewhere,
    // picks from the drop-down lists with the mouse.
    QLineEdit* title = win().card.nameedit;
    QPlainTextEdit* content = win().card.iememo;
    QTest::mouseClick(title, Qt::LeftButton, {}, title->rect().center());
    QTRY_VERIFY(title->hasFocus());
    QTest::keyClick(title, Qt::Key_A, Qt::ControlModifier);
    typeText(title, kTitle);
    QTest::keyClick(title, Qt::Key_Left, Qt::ShiftModifier);
    QCOMPARE(title->selectedText(), QStringLiteral("好"));

    // The greeting: the title keeps its selection while the focus is in the content.
    QTest::mouseClick(content->viewport(), Qt::LeftButton, {}, QPoint(40, 10));
    QTRY_VERIFY(content->hasFocus());
    QTest::keyClick(content, Qt::Key_A, Qt::ControlModifier);
    typeText(content, kGreeting);
    QCOMPARE(title->selectedText(), QStringLiteral("好"));
    // A tag button for a selection in a box without the focus does nothing, and says nothing.
    QTest::mouseClick(win().card.h1btn, Qt::LeftButton);
    QCOMPARE(title->text(), kTitle);
    QCOMPARE(content->toPlainText(), kGreeting);
    QVERIFY(ui_->messages.isEmpty());

    // A colour pick wraps the title's selection, the face from the font box as it stands.
    pickEntry(win().card.colorcombox, win().card.colorcombox->findText(QStringLiteral("clRed")));
    const QString face = win().card.fontsizecombox->currentText();
    QCOMPARE(title->text(), QStringLiteral("<font color=#FF0000 face='%1'>好</font>").arg(face));
    QCOMPARE(content->toPlainText(), kGreeting);
    // Back in the title, "返" brings the whole title back.
    QTest::mouseClick(title, Qt::LeftButton, {}, title->rect().center());
    QTRY_VERIFY(title->hasFocus());
    QTest::mouseClick(win().card.backbtn, Qt::LeftButton);
    QCOMPARE(title->text(), kTitle);

    // A face pick wraps a content selection made with the keyboard.
    QTest::mouseClick(content->viewport(), Qt::LeftButton, {}, QPoint(40, 10));
    QTRY_VERIFY(content->hasFocus());
    QTest::keyClick(content, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(content, Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(content, Qt::Key_Left, Qt::ShiftModifier);
    pickEntry(win().card.fontsizecombox, 1);
    QCOMPARE(content->toPlainText(),
             QStringLiteral("祝你 <font color=#FF0000 face='%1'>快乐</font>")
                 .arg(win().card.fontsizecombox->currentText()));
    QVERIFY(content->hasFocus());
    // Enter in the title starts no search under the card.
    QTest::mouseClick(title, Qt::LeftButton, {}, title->rect().center());
    QTRY_VERIFY(title->hasFocus());
    QSignalSpy searched(win().bar.Button1, &QPushButton::clicked);
    QTest::keyClick(title, Qt::Key_Return);
    QCOMPARE(searched.count(), 0);
    QVERIFY(win().card.setpanel->isVisible());
}

void TestCardWindow::previewPlaysAndSaves() {
    QTest::mouseClick(win().functions.Button3, Qt::LeftButton);
    win().bar.SeSkinComboBox1->setCurrentIndex(0);
    win().bar.Edit1->setText(QStringLiteral("月下听风"));
    QTest::mouseClick(win().bar.Button1, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(win().results.ListView1->rowCount() >= 2, kLoadMs);
    QTRY_VERIFY_WITH_TIMEOUT(!win().results.WebBrowser1->isLoading(), kLoadMs);
    win().results.ListView1->selectRow(1);
    win().results.ListView1->selectRow(0);
    QTest::mouseClick(win().play.dragcardbtn, Qt::LeftButton);
    QVERIFY(win().card.setpanel->isVisible());
    QCOMPARE(win().cardList.size(), std::size_t{1});
    QCOMPARE(QString::fromStdString(win().cardList[0].address),
             QString::fromStdString(win().resultRows().row(0).address));
    QCOMPARE(win().cardRows().rows(), std::vector{win().resultRows().row(0)});

    win().card.nameedit->setText(QStringLiteral("新年快乐"));
    win().card.iememo->setPlainText(QStringLiteral("祝你\n万事如意"));
    QSignalSpy complete(win().card.WebBrowser4, &melorin::WebBrowser::DocumentComplete);
    QTest::mouseClick(win().card.previewbtn, Qt::LeftButton);
    QVERIFY(complete.wait(kLoadMs));
    const melorin::PageDocument* shown = win().card.WebBrowser4->Document();
    QVERIFY(shown != nullptr);
    const QString cardPage = fx_.programDir() + QStringLiteral("card.html");
    QCOMPARE(shown->url, QUrl::fromLocalFile(cardPage));
    QVERIFY2(shown->bodyText.contains(QStringLiteral("新年快乐")), qPrintable(shown->bodyText));
    QVERIFY(shown->bodyText.contains(QStringLiteral("祝你")));
    QVERIFY(shown->bodyText.contains(QStringLiteral("万事如意")));

    // The page's player plays the song from the service, and goes on playing.
    NativePlayer* player = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((player = win().playback().current()) != nullptr, kLoadMs);
    QTRY_VERIFY_WITH_TIMEOUT(player->position() > 0, kLoadMs);
    const qint64 first = player->position();
    QTRY_VERIFY_WITH_TIMEOUT(player->position() > first, kLoadMs);
    QCOMPARE(player->title(), QString::fromStdString(win().cardList[0].title));

    // "保存位置" as the page only: the file as written, not the document with Melorin's player.
    const QString saved = fx_.tempPath(QStringLiteral("saved"));
    QVERIFY(QDir().mkpath(saved));
    ui_->nextSaveFile = saved + QStringLiteral("/原样.html");
    QTest::mouseClick(win().card.iesetbtn, Qt::LeftButton);
    QCOMPARE(ui_->offeredFilters, (QStringList{QStringLiteral("网页，仅HTML (*.html *.htm)"),
                                               QStringLiteral("网页及其图片 (*.html *.htm)")}));
    QCOMPARE(fileBytes(ui_->nextSaveFile), fileBytes(cardPage));
    QVERIFY(!fileBytes(cardPage).isEmpty());

    // A new picture rewrites the page but leaves the preview as it is.
    ui_->nextOpenFile = picture_;
    QTest::mouseClick(win().card.picbtn, Qt::LeftButton);
    QCOMPARE(ui_->openFolder, fx_.programDir() + QStringLiteral("pic/"));
    QCOMPARE(ui_->openFilter,
             QStringLiteral("jpg图片(*.jpg);jpeg图片(*.jpeg);gif图片(*.gif) (*.jpg *.jpeg *.gif);;"
                            "jpeg图片(*.jpeg) (*.jpeg);;gif图片(*.gif) (*.gif)"));
    QVERIFY(!win().card.WebBrowser4->isLoading());
    QVERIFY(fileBytes(cardPage).contains(QUrl::toPercentEncoding(QStringLiteral("背景.jpg"))));

    // The page with its picture opens from another folder, the program's picture gone.
    QTest::mouseClick(win().card.previewbtn, Qt::LeftButton);
    QVERIFY(complete.wait(kLoadMs));
    ui_->nextSaveFile = saved + QStringLiteral("/给朋友.html");
    ui_->nextSaveFilter = ui_->offeredFilters.value(1);
    QTest::mouseClick(win().card.iesetbtn, Qt::LeftButton);
    QVERIFY(ui_->messages.isEmpty());
    const QString elsewhere = fx_.tempPath(QStringLiteral("另一台电脑"));
    QVERIFY(QDir().rename(saved, elsewhere));
    QVERIFY(QFile::remove(picture_));
    QWebEngineView friendView;
    friendView.resize(400, 300);
    friendView.show();
    QSignalSpy loaded(&friendView, &QWebEngineView::loadFinished);
    friendView.setUrl(QUrl::fromLocalFile(elsewhere + QStringLiteral("/给朋友.html")));
    QVERIFY(loaded.wait(kLoadMs));
    QCOMPARE(backgroundWidth(*friendView.page()), 37);

    // "清空列表" empties the card list.
    QTest::mouseClick(win().card.cancelbtn, Qt::LeftButton);
    QVERIFY(win().cardList.empty());
    QCOMPARE(win().card.cardlistview->rowCount(), 0);
}

void TestCardWindow::pageScriptReadsNoFile() {
    // A greeting copied from somewhere, with a script that writes a player object of its own
    // and reads a file of this computer. The preview keeps its picture (chosen outside the
    // program folder) and its song; the script's object gets no player, its read fails, and a
    // picture of this computer that the page does not name as its own does not load.
    melorin::testing::PageServer server([](const QByteArray&) {
        return melorin::testing::PageServer::Answer{404, {}};
    });
    QVERIFY(server.listening());
    const QString pictures = fx_.tempPath(QStringLiteral("我的图片"));
    QVERIFY(QDir().mkpath(pictures));
    QImage image(41, 19, QImage::Format_RGB32);
    image.fill(Qt::darkRed);
    QVERIFY(image.save(pictures + QStringLiteral("/卡片.jpg"), "JPG"));
    QVERIFY(image.save(pictures + QStringLiteral("/别的.jpg"), "JPG"));
    QFile secret(fx_.tempPath(QStringLiteral("secret.txt")));
    QVERIFY(secret.open(QIODevice::WriteOnly));
    secret.write("only mine");
    secret.close();

    const QString song =
        QStringLiteral("http://") + fx_.serviceHost() + QStringLiteral("/music/s01/003.mp3");
    fx_.offer({melorin::testing::fileRow(QStringLiteral("1"), QStringLiteral("贺卡的歌"), song,
                                         QStringLiteral("1.0M"), QStringLiteral("mp3"))},
              {0});
    QTest::mouseClick(win().play.dragcardbtn, Qt::LeftButton);
    ui_->nextOpenFile = pictures + QStringLiteral("/卡片.jpg");
    QTest::mouseClick(win().card.picbtn, Qt::LeftButton);
    win().card.nameedit->setText(QStringLiteral("从网上抄来的贺卡"));
    // Short lines: the box wraps long ones, and the page takes its lines as shown.
    const QString planted = QStringLiteral(
                                "<OBJECT CLASSID=\"CLSID:22D6f312-B0F6-11D0-94AB-0080C74C7E95\">"
                                "<PARAM NAME=\"fileName\" VALUE=\"") +
                            server.url("/planted.mp3") + QStringLiteral("\"></OBJECT>");
    win().card.iememo->setPlainText(
        QStringList{QStringLiteral("<script>"),
                    QStringLiteral("document.write(") + scriptString(planted) + u')',
                    QStringLiteral("var r='refused';"), QStringLiteral("try{"),
                    QStringLiteral("var x=new XMLHttpRequest();"),
                    QStringLiteral("x.open('GET',") +
                        scriptString(QUrl::fromLocalFile(secret.fileName()).toString()) +
                        QStringLiteral(",false);"),
                    QStringLiteral("x.send();"), QStringLiteral("r='read:'+x.responseText;"),
                    QStringLiteral("}catch(e){}"), QStringLiteral("document.title=r;"),
                    // An address may break anywhere: the browser drops line breaks from it.
                    QStringLiteral("</script><img id=other src=\"") +
                        shortLines(QUrl::fromLocalFile(pictures + QStringLiteral("/别的.jpg"))
                                       .toString(QUrl::FullyEncoded))
                            .join(u'\n') +
                        QStringLiteral("\">")}
            .join(u'\n'));
    QSignalSpy complete(win().card.WebBrowser4, &melorin::WebBrowser::DocumentComplete);
    QTest::mouseClick(win().card.previewbtn, Qt::LeftButton);
    QVERIFY(complete.wait(kLoadMs));

    NativePlayer* player = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT(
        (player = win().playback().current()) != nullptr && player->position() > 0, kLoadMs);
    QCOMPARE(player->entryAddress(), song);
    QWebEnginePage& page = *win().card.WebBrowser4->engineView()->page();
    using melorin::testing::runScript;
    QCOMPARE(runScript(page, QStringLiteral("document.querySelectorAll('.melorin-player').length"))
                 .toInt(),
             1);
    // The script's object is still there, without a player.
    QCOMPARE(runScript(page, QStringLiteral("document.getElementsByTagName('object').length")),
             QVariant(1));
    QCOMPARE(win().playback().players().size(), 1);
    QCOMPARE(runScript(page, QStringLiteral("document.title")).toString(),
             QStringLiteral("refused"));
    QCOMPARE(backgroundWidth(page), 41);
    QTRY_VERIFY(
        runScript(page, QStringLiteral("document.getElementById('other').complete")).toBool());
    QCOMPARE(runScript(page, QStringLiteral("document.getElementById('other').naturalWidth")),
             QVariant(0));
    QCOMPARE(server.targets, QList<QByteArray>());
}

void TestCardWindow::unwritablePageReachesTheLog() {
    // A folder in the page's place: the page cannot be replaced, and the failure is logged.
    WindowFixture other;
    const QString page = other.programDir() + QStringLiteral("/card.html");
    QVERIFY(QDir().mkpath(page));
    TForm1& form = other.createWindow(fx_.serviceHost());
    const auto w = inside(form);
    w.cardList = {
        {melorin::core::RowShape::File, "1", 0, "歌", "http://127.0.0.1:1/a.mp3", "1M", "mp3"}};
    w.card.cardsurebtn->click();  // the button is never shown; "预览" and "图" run it
    QVERIFY2(w.DownloadLog.join(u'\n').contains(QStringLiteral("card.html")),
             qPrintable(w.DownloadLog.join(u'\n')));
    QVERIFY(QFileInfo(page).isDir());
}

MELORIN_GUI_TEST_MAIN(TestCardWindow)
#include "test_card_window.moc"
