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
#include "core/webaddress.h"
#include "player/mprisservice.h"
#include "player/playerpagehost.h"
#include "player/playerpages.h"
#include "player/playlist.h"
#include "player/playlistfile.h"
#include "ui/reportview.h"
#include "ui/uiport.h"

namespace melorin {

namespace {

QString utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString dialogFilter(std::string_view filter) {
    return utf8(core::fileDialogFilter(filter));
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
        {dragplaybtn, &TForm1::dragplaybtnClick}, {playdelbtn, &TForm1::playdelbtnClick},
        {playclear, &TForm1::playclearClick},     {playsavebtn, &TForm1::playsavebtnClick},
        {playloadbtn, &TForm1::playloadbtnClick},
    };
    for (const auto& [button, handler] : tools)
        connect(button, &QToolButton::clicked, this, handler);
    connect(SeSkinButton4, &QPushButton::clicked, this, &TForm1::SeSkinButton4Click);
    connect(WebBrowser3, &WebBrowser::ProgressChange, this, &TForm1::WebBrowser3ProgressChange);
    connect(WebBrowser3, &WebBrowser::DocumentComplete, this, &TForm1::WebBrowser3DocumentComplete);
    // One play-list row at a time: delete removes the selected one.
    playListView->setSelectionMode(QAbstractItemView::SingleSelection);
    // The page's player is a little taller than the strip the browser gets; a scroll bar
    // beside it would only take room from it.
    WebBrowser3->addPageSetUp([](QWebEnginePage& page) {
        page.settings()->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    });
    attachPlayerHost(*WebBrowser3, playerHost_);
    mpris_ = std::make_unique<player::MprisService>(*playback_);
}

bool TForm1::applyPlayListAdd(const player::AddOutcome& add) {
    if (add.refused()) {
        ui_.showMessage(this, utf8(add.message));
        return false;
    }
    player::applyAdd(add, PlayList, cardList);
    showPlayList();
    showCardList();
    return true;
}

void TForm1::showPlayList() {
    playRows_->setRows(PlayList);
    playListView->fitColumns();
}

std::vector<core::SongRow> TForm1::selectedResults() const {
    return resultRows_->rowsAt(ListView1->selectedRowIndexes());
}

std::optional<std::vector<core::SongRow>> TForm1::selectedResultsFor(core::RowAction action) {
    core::RowsForAction allowed = core::webRowsFor(action, selectedResults());
    for (const std::string& line : allowed.refusals) logDownload(utf8(line));
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
    const QList<int> selected = playListView->selectedRowIndexes();
    if (selected.isEmpty()) return;
    const auto row = static_cast<std::size_t>(selected.first());
    if (row >= PlayList.size()) return;
    PlayList.erase(PlayList.begin() + static_cast<std::ptrdiff_t>(row));
    showPlayList();
}

void TForm1::playclearClick() {
    PlayList.clear();
    showPlayList();
    applyHeightRule(*playListView, screenScale_, player::heightAfterClear);
}

void TForm1::playsavebtnClick() {
    // The selection only counts when the list has nothing to save (the add action runs then).
    const auto selection = player::lacksFileRows(PlayList)
                               ? selectedResultsFor(core::RowAction::PlayList)
                               : std::optional(std::vector<core::SongRow>{});
    if (!selection) return;
    const player::SavePreparation prep =
        player::prepareSave(PlayList, *selection, Edit1->text().toStdString(), localNow());
    if (prep.ranAdd) applyPlayListAdd(prep.add);
    if (!prep.proceed) return;
    // No folder of its own: the dialog starts where it starts, with the proposed name.
    const QString path = ui_.saveFileName(this, QStringLiteral("另存为"), utf8(prep.proposedName),
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
            ui_.openAddress(utf8(step.openAddress));
        } else {
            logDownload(utf8(core::notOpenedLine(step.openAddress)));
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
    applyHeightRule(*playListView, screenScale_, [&page](int height) {
        return player::heightAfterShowingPage(height, page.shrink);
    });
    WebBrowser3->setVisible(true);
    WebBrowser3->view()->raise();
    WebBrowser3->Navigate(QUrl::fromLocalFile(ProgramDir + utf8(page.pageName)));
    // The engine runs from the first navigation on. A window fitted to a larger screen shows
    // the page's player at the same scale; the host reads the titles once the page has loaded.
    WebBrowser3->engineView()->setZoomFactor(screenScale_.factor());
    if (playerHost_ != nullptr) playerHost_->setTitles(rows);
}

void TForm1::WebBrowser3ProgressChange(int /*progress*/, int /*maximum*/) {
    SeSkinLabel4->show();
    SeSkinLabel4->raise();  // over the page that is loading
}

void TForm1::WebBrowser3DocumentComplete() {
    SeSkinLabel4->hide();
}

}  // namespace melorin
