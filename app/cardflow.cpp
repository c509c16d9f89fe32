// The music greeting card's handlers: the editor's toolbar, the card list, the card page, its
// preview with Melorin's player and saving it elsewhere. The rules live in the card library and
// ui/cardboxes; these only move data between the controls and them.

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QWebEngineView>

#include "app/failureactions.h"
#include "app/mainwindow.h"
#include "app/songrowmodel.h"
#include "app/webbrowser.h"
#include "card/cardpage.h"
#include "card/editrules.h"
#include "card/picture.h"
#include "card/savecard.h"
#include "card/tags.h"
#include "core/filefilter.h"
#include "core/qtext.h"
#include "player/playerpagehost.h"
#include "ui/cardboxes.h"
#include "ui/onscreen.h"
#include "ui/reportview.h"
#include "ui/uiport.h"

namespace melorin {

void TForm1::connectCardFlow() {
    const std::pair<QToolButton*, void (TForm1::*)()> tools[] = {
        {cardView_.htmlrunbtn, &TForm1::htmlrunbtnClick},
        {cardView_.h1btn, &TForm1::h1btnClick},
        {cardView_.h2btn, &TForm1::h2btnClick},
        {cardView_.h3btn, &TForm1::h3btnClick},
        {cardView_.h4btn, &TForm1::h4btnClick},
        {cardView_.bigbtn, &TForm1::bigbtnClick},
        {cardView_.strongbtn, &TForm1::strongbtnClick},
        {cardView_.ibtn, &TForm1::ibtnClick},
        {cardView_.ubtn, &TForm1::ubtnClick},
        {cardView_.centrebtn, &TForm1::centrebtnClick},
        {cardView_.picbtn, &TForm1::picbtnClick},
        {cardView_.backbtn, &TForm1::backbtnClick},
        {playPanel_.dragcardbtn, &TForm1::dragcardbtnClick},
    };
    for (const auto& [button, handler] : tools)
        connect(button, &QToolButton::clicked, this, handler);
    // Every pick counts, also of the entry already shown: it wraps the next selection.
    connect(cardView_.colorcombox, &QComboBox::activated, this, &TForm1::colorcomboxChange);
    connect(cardView_.fontsizecombox, &QComboBox::activated, this, &TForm1::fontsizecomboxChange);
    connect(cardView_.cardsurebtn, &QPushButton::clicked, this, &TForm1::cardsurebtnClick);
    connect(cardView_.previewbtn, &QPushButton::clicked, this, &TForm1::previewbtnClick);
    connect(cardView_.iesetbtn, &QPushButton::clicked, this, &TForm1::iesetbtnClick);
    connect(cardView_.cancelbtn, &QPushButton::clicked, this, &TForm1::cancelbtnClick);
    attachPlayerHost(*cardView_.WebBrowser4, cardPlayerHost_);
}

void TForm1::attachPlayerHost(WebBrowser& browser, QPointer<player::PlayerPageHost>& host) {
    // The host is a child of the browser's page, made when the engine starts; the window deletes
    // the browser before it lets playback() go, so no player outlives the coordinator.
    browser.addPageSetUp([this, &host, &browser](QWebEnginePage& page) {
        host = new player::PlayerPageHost(&page, ProgramDir, *playback_);
        // Minimised, in the tray or on another view, the page's face stops following its player.
        auto* watch = new ui::OnScreenWatch(browser.view());
        host->setShown(watch->onScreen());
        connect(watch, &ui::OnScreenWatch::changed, host, &player::PlayerPageHost::setShown);
    });
}

// --- Editor ---

void TForm1::htmlrunbtnClick() {
    pressTagButton("htmlrunbtn");
}
void TForm1::h1btnClick() {
    pressTagButton("h1btn");
}
void TForm1::h2btnClick() {
    pressTagButton("h2btn");
}
void TForm1::h3btnClick() {
    pressTagButton("h3btn");
}
void TForm1::h4btnClick() {
    pressTagButton("h4btn");
}
void TForm1::bigbtnClick() {
    pressTagButton("bigbtn");
}
void TForm1::strongbtnClick() {
    pressTagButton("strongbtn");
}
void TForm1::ibtnClick() {
    pressTagButton("ibtn");
}
void TForm1::ubtnClick() {
    pressTagButton("ubtn");
}
void TForm1::centrebtnClick() {
    pressTagButton("centrebtn");
}

void TForm1::pressTagButton(std::string_view button) {
    const card::Tag* tag = card::tagOfButton(button);
    if (tag != nullptr)
        applyCardEdit(
            card::pressTag(*tag, ui::editorBoxes(*cardView_.iememo, *cardView_.nameedit)));
}

void TForm1::colorcomboxChange() {
    pickFontEntry();
}
void TForm1::fontsizecomboxChange() {
    pickFontEntry();
}

void TForm1::pickFontEntry() {
    // Both boxes' entries at this moment make the tag.
    const std::string colour =
        card::colourText(cardView_.colorcombox->currentText().toStdString(), ui::desktopColours());
    const std::string opening =
        card::fontOpeningTag(colour, cardView_.fontsizecombox->currentText().toStdString());
    applyCardEdit(card::pickFont(opening, ui::editorBoxes(*cardView_.iememo, *cardView_.nameedit)));
}

void TForm1::applyCardEdit(const card::EditOutcome& outcome) {
    if (!outcome.message.empty()) ui_.showMessage(this, fromUtf8(outcome.message));
    if (!outcome.wrap) return;
    if (outcome.wrap->box == card::Box::Content) {
        ui::applyWrap(*cardView_.iememo, *outcome.wrap);
    } else {
        ui::applyWrap(*cardView_.nameedit, *outcome.wrap);
    }
}

void TForm1::picbtnClick() {
    const QString chosen =
        ui_.openFileName(this, QStringLiteral("打开"), OpenDialog1InitialDir,
                         QString::fromStdString(core::fileDialogFilter(card::kPictureFilter)));
    if (chosen.isEmpty()) return;
    CardPicture = QDir::cleanPath(QDir(ProgramDir).absoluteFilePath(chosen));
    cardsurebtnClick();  // the preview stays as it is until "预览"
}

void TForm1::backbtnClick() {
    if (card::undoTarget(ui::editorFocus(*cardView_.iememo, *cardView_.nameedit)) ==
        card::Box::Content) {
        cardView_.iememo->undo();
    } else {
        cardView_.nameedit->undo();
    }
}

// --- Card list, page, preview and saving ---

void TForm1::dragcardbtnClick() {
    const auto selected = selectedResultsFor(core::RowAction::Card);
    if (selected && !selected->empty()) {
        cardList = {selected->front()};
        showCardList();
    }
    Button5Click();
}

void TForm1::cancelbtnClick() {
    cardList.clear();
    showCardList();
}

void TForm1::showCardList() {
    cardRows_->setRows(cardList);
    cardView_.cardlistview->fitColumns();
}

void TForm1::cardsurebtnClick() {
    const std::optional<std::string> failure =
        card::generateCardPage(ProgramDir.toStdString(), cardList,
                               ui::cardText(*cardView_.nameedit, *cardView_.iememo, CardPicture));
    if (failure) myexception(fileFailure(*failure));
}

void TForm1::previewbtnClick() {
    cardsurebtnClick();
    cardView_.WebBrowser4->Navigate(
        QUrl::fromLocalFile(fromUtf8(card::cardPagePath(ProgramDir.toStdString()))));
    // The player names the song by its title, as the card list shows it; the host exists once
    // the navigation has started the engine, and reads the titles when the page has loaded.
    if (cardPlayerHost_ != nullptr) cardPlayerHost_->setTitles(cardList);
}

void TForm1::iesetbtnClick() {
    // What is saved is the page file the preview shows, not the live document, which holds
    // Melorin's player in place of the page's player object.
    const PageDocument* shown = cardView_.WebBrowser4->Document();
    if (shown == nullptr || !shown->url.isLocalFile()) return;
    const QString page = shown->url.toLocalFile();
    const QString pageOnly = fromUtf8(card::kSavePageFilter);
    const QString withPicture = fromUtf8(card::kSavePageWithPictureFilter);
    const ui::SaveChoice choice = ui_.saveFileChoice(
        this, QStringLiteral("另存为"), QDir::home().filePath(QStringLiteral("card.html")),
        {pageOnly, withPicture});
    if (choice.path.isEmpty()) return;
    const std::optional<std::string> failure =
        choice.filter == withPicture
            ? card::savePageWithPicture(page.toStdString(), choice.path.toStdString())
            : card::savePage(page.toStdString(), choice.path.toStdString());
    // Shown, not handed to the failure hook: a chosen path must not steer the download manager.
    if (failure)
        ui_.showMessage(this, QStringLiteral("贺卡未能保存：") + QString::fromStdString(*failure));
}

}  // namespace melorin
