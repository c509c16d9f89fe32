// The online-playing handlers of the main window: the play list's buttons, "在线播放", the
// player page in WebBrowser3 with its loading label, and the desktop's media controls. The
// rules live in the player libraries; these only move data between the controls and them.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <algorithm>
#include <ctime>

#include "app/failureactions.h"
#include "app/mainwindow.h"
#include "app/songrowmodel.h"
#include "app/webbrowser.h"
#include "core/filefilter.h"
#include "core/qtext.h"
#include "core/webaddress.h"
#include "player/mprisservice.h"
#include "player/nativeplayer.h"
#include "player/playerpagehost.h"
#include "player/playerpages.h"
#include "player/playlist.h"
#include "player/playlistfile.h"
#include "ui/reportview.h"
#include "ui/uiport.h"

namespace melorin {

namespace {

QString dialogFilter(std::string_view filter) {
    return fromUtf8(core::fileDialogFilter(filter));
}

std::tm localNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

// The list view's height rules are given in design pixels; a window fitted to a larger screen
// applies them at its own scale.
template <typename Rule>
void applyHeightRule(QWidget& view, core::Ratio scale, Rule rule) {
    const int design = core::Ratio{scale.den, scale.num}.apply(view.height());
    const int after = rule(design);
    if (after != design) view.resize(view.width(), scale.apply(after));
}

}  // namespace

void TForm1::connectPlayFlow() {
    const std::pair<QToolButton*, void (TForm1::*)()> tools[] = {
        {playPanel_.dragplaybtn, &TForm1::dragplaybtnClick},
        {playPanel_.playdelbtn, &TForm1::playdelbtnClick},
        {playPanel_.playclear, &TForm1::playclearClick},
        {playPanel_.playsavebtn, &TForm1::playsavebtnClick},
        {playPanel_.playloadbtn, &TForm1::playloadbtnClick},
    };
    for (const auto& [button, handler] : tools)
        connect(button, &QToolButton::clicked, this, handler);
    connect(playPanel_.SeSkinButton4, &QPushButton::clicked, this, &TForm1::SeSkinButton4Click);
    connect(playPanel_.WebBrowser3, &WebBrowser::ProgressChange, this,
            &TForm1::WebBrowser3ProgressChange);
    connect(playPanel_.WebBrowser3, &WebBrowser::DocumentComplete, this,
            &TForm1::WebBrowser3DocumentComplete);
    // The page's player is a little taller than the strip the browser gets; a scroll bar
    // beside it would only take room from it.
    playPanel_.WebBrowser3->addPageSetUp([](QWebEnginePage& page) {
        page.settings()->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    });
    attachPlayerHost(*playPanel_.WebBrowser3, playerHost_);
    // After the host exists: the play list follows its player's entry.
    playPanel_.WebBrowser3->addPageSetUp([this](QWebEnginePage&) {
        connect(playerHost_, &player::PlayerPageHost::playerAttached, this,
                [this](player::NativePlayer* p) {
                    connect(p, &player::NativePlayer::changed, this, &TForm1::markPlayingEntry);
                    // Gone with its page: the mark goes once the page's players are counted again.
                    connect(p, &QObject::destroyed, this, &TForm1::markPlayingEntry,
                            Qt::QueuedConnection);
                    markPlayingEntry();
                });
    });
    mpris_ = std::make_unique<player::MprisService>(*playback_);
}

bool TForm1::applyPlayListAdd(const player::AddOutcome& add) {
    if (add.refused()) {
        ui_.showMessage(this, fromUtf8(add.message));
        return false;
    }
    player::applyAdd(add, PlayList, cardList);
    showPlayList();
    showCardList();
    return true;
}

void TForm1::showPlayList() {
    playRows_->setRows(PlayList);
    playPanel_.playListView->fitColumns();
    markPlayingEntry();
}

void TForm1::markPlayingEntry() {
    const QList<player::NativePlayer*> players =
        playerHost_ != nullptr ? playerHost_->players() : QList<player::NativePlayer*>();
    const player::NativePlayer* p = players.isEmpty() ? nullptr : players.first();
    std::optional<std::size_t> row;
    if (p != nullptr && p->state() != player::NativePlayer::State::Stopped) {
        row = player::rowOfEntry(PlayList, p->entryAddress().toStdString(),
                                 p->title().toStdString(), p->entryIndex());
    }
    playRows_->setMarkedRow(row ? static_cast<int>(*row) : -1);
}

std::vector<core::SongRow> TForm1::selectedResults() const {
    return resultRows_->rowsAt(resultView_.ListView1->selectedRowIndexes());
}

std::optional<std::vector<core::SongRow>> TForm1::selectedResultsFor(core::RowAction action) {
    core::RowsForAction allowed = core::webRowsFor(action, selectedResults());
    for (const std::string& line : allowed.refusals) logDownload(fromUtf8(line));
    const bool fileLeft = std::any_of(allowed.rows.begin(), allowed.rows.end(),
                                      [](const core::SongRow& r) { return r.isFile(); });
    if (!fileLeft && !allowed.refusals.empty()) return std::nullopt;
    return std::move(allowed.rows);
}

void TForm1::dragplaybtnClick() {
    if (const auto rows = selectedResultsFor(core::RowAction::PlayList))
        applyPlayListAdd(player::addToPlayList(PlayList, *rows));
}

void TForm1::playdelbtnClick() {
    // Ctrl+A may have selected several rows: all of them go.
    const QList<int> selected = playPanel_.playListView->selectedRowIndexes();
    if (selected.isEmpty()) return;
    PlayList = withoutRows(PlayList, selected);
    showPlayList();
}

void TForm1::playclearClick() {
    PlayList.clear();
    showPlayList();
    applyHeightRule(*playPanel_.playListView, screenScale_, player::heightAfterClear);
}

void TForm1::playsavebtnClick() {
    // The selection only counts when the list has nothing to save (the add action runs then).
    const auto selection = player::lacksFileRows(PlayList)
                               ? selectedResultsFor(core::RowAction::PlayList)
                               : std::optional(std::vector<core::SongRow>{});
    if (!selection) return;
    const player::SavePreparation prep = player::prepareSave(
        PlayList, *selection, searchBar_.Edit1->text().toStdString(), localNow());
    if (prep.ranAdd) applyPlayListAdd(prep.add);
    if (!prep.proceed) return;
    // No folder of its own: the dialog starts where it starts, with the proposed name.
    const QString path =
        ui_.saveFileName(this, QStringLiteral("另存为"), fromUtf8(prep.proposedName),
                         dialogFilter(player::kSaveDialogFilter));
    if (path.isEmpty()) return;
    if (const auto failure = player::writePlayListFile(path.toStdString(), prep.bytes))
        myexception(fileFailure(*failure));
}

void TForm1::playloadbtnClick() {
    const QString chosen = ui_.openFileName(this, QStringLiteral("打开"), QString(),
                                            dialogFilter(player::kLoadDialogFilter));
    if (chosen.isEmpty()) return;
    // The page names the file by its absolute path, in the bytes the file system knows it by.
    const std::string path = QFile::encodeName(QFileInfo(chosen).absoluteFilePath()).toStdString();
    PlayList.clear();
    showPlayList();
    const player::LoadedFile loaded = player::readPlayListFile(path);
    if (!loaded.error.empty()) {
        myexception(fileFailure(loaded.error));
        return;
    }
    PlayList = loaded.rows;
    showPlayList();
    // The file's entries show their own names: the window's titles are not theirs.
    showPlayerPage(player::loadedFilePage(path), {});
}

void TForm1::SeSkinButton4Click() {
    const auto selection = selectedResultsFor(core::RowAction::OnlinePlay);
    if (!selection) return;
    const player::OnlinePlayStep step = player::onlinePlay(ProgramDir.toStdString(), *selection);
    if (!step.openAddress.empty()) {
        // The address comes from a result page: only a web address goes to the desktop.
        if (core::isWebAddress(step.openAddress)) {
            ui_.openAddress(fromUtf8(step.openAddress));
        } else {
            logDownload(fromUtf8(core::notOpenedLine(step.openAddress)));
        }
        return;
    }
    if (!applyPlayListAdd(step.add) || !step.page) return;
    showPlayerPage(*step.page, PlayList);
}

void TForm1::showPlayerPage(const player::PageToShow& page,
                            const std::vector<core::SongRow>& rows) {
    if (const auto failure = player::writePlayerFiles(ProgramDir.toStdString(), page.files)) {
        myexception(fileFailure(*failure));
        return;
    }
    applyHeightRule(*playPanel_.playListView, screenScale_, [&page](int height) {
        return player::heightAfterShowingPage(height, page.shrink);
    });
    playPanel_.WebBrowser3->setVisible(true);
    playPanel_.WebBrowser3->view()->raise();
    playPanel_.WebBrowser3->Navigate(QUrl::fromLocalFile(ProgramDir + fromUtf8(page.pageName)));
    // The engine runs from the first navigation on. A window fitted to a larger screen shows
    // the page's player at the same scale; the host reads the titles once the page has loaded.
    playPanel_.WebBrowser3->engineView()->setZoomFactor(screenScale_.factor());
    if (playerHost_ != nullptr) playerHost_->setTitles(rows);
}

void TForm1::WebBrowser3ProgressChange(int /*progress*/, int /*maximum*/) {
    playPanel_.SeSkinLabel4->show();
    playPanel_.SeSkinLabel4->raise();  // over the page that is loading
}

void TForm1::WebBrowser3DocumentComplete() {
    playPanel_.SeSkinLabel4->hide();
}

}  // namespace melorin
