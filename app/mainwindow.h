#pragma once

// The main window `TForm1`: it owns all of the program's state for the whole run and its
// handlers are thin: they read controls, call the subsystem libraries, write controls.
// app/README.md maps every control to its handler, flow file and library calls, and tells where
// each piece of the window's state lives.

#include <QFont>
#include <QIcon>
#include <QPointer>
#include <QVector>
#include <array>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "app/windowparts.h"
#include "core/screenfit.h"
#include "core/songrow.h"
#include "core/webaddress.h"
#include "download/downloader.h"
#include "download/progressboard.h"
#include "search/engine.h"
#include "search/itemorder.h"
#include "search/requests.h"
#include "ui/skinframe.h"

class QKeyEvent;

namespace melorin {
namespace core {
class HttpGet;
struct GetAnswer;
}  // namespace core
namespace card {
struct EditOutcome;
}
namespace player {
struct AddOutcome;
class MprisService;
class NativePlayer;
class PlaybackCoordinator;
class PlayerPageHost;
struct PageToShow;
}  // namespace player
namespace ui {
class ReportView;
class Ticker;
class UiPort;
}  // namespace ui
namespace testing {
class WindowInside;
}
struct Failure;
class ProgressModel;
class ResultSortModel;
class SongRowModel;
class BrowserComponent;
class WebBrowser;
class TForm2;

struct StartOptions {
    QString programDir;  // empty: the executable's folder (or its fallback)
    QString
        service;  // "HOST[:PORT]" that serves every role of the search service; empty: public hosts
    QString archiveBase{};         // the Internet Archive's address; empty: the public one
    QString ccmixterBase{};        // ccMixter's address; empty: the public one
    int catalogueConnections = 4;  // a catalogue's requests at once
};

// The search as the window holds it: the parser's state, the addresses the result list holds
// (a page may not repeat one), and whether the count label and the caption show what a page
// told. The result list's rows are in its model.
struct SearchSession {
    search::SearchState state;
    std::unordered_set<std::string> knownAddresses;
    bool countShown = false;  // the count label shows a count, not its initial text
    bool ipShown = false;     // the caption shows the client address
};

// A music catalogue's search while it runs: the items of the page being read and what decides
// whether another page follows.
struct CatalogueSearch {
    bool running = false;
    search::ItemOrder items;
    bool pageGoesOn = false;  // the page said more may follow, if its items add rows
    int unreadItems = 0;      // items whose answers could not be read, left out
};

class TForm1 : public ui::SkinnedWindow {
    Q_OBJECT
public:
    TForm1(ui::UiPort& ui, const StartOptions& options, QWidget* parent = nullptr);
    ~TForm1() override;

    // Fits the window to a screen's available area (called by start-up with the real screen).
    void fitToScreen(QRect available);

    // The save-folder chooser attaches itself at start-up and goes with detach; "确定" hands
    // the path in its edit box to applyChosenFolder, which retargets the selected queue rows
    // (after "修改保存地址") or sets the folder for new rows.
    void attachChooser(TForm2* chooser);
    void detachChooser(const TForm2* chooser);
    void applyChosenFolder(const QString& text);

signals:
    // The window has run its close steps; start-up ends the process with this code.
    void closed(int exitCode);

private slots:
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void CustomItem1Click();
    void CustomItem2Click();
    void CustomItem3Click();
    void CustomItem4Click();
    void CustomItem7Click();
    // The failure hook: the text goes into the download log; its cause may act
    // (app/failureactions.h).
    void myexception(const Failure& failure);

    // Search
    void Button1Click();
    void Button7Click();
    void Button9Click();
    void SeSkinComboBox1Change();
    void SeSkinComboBox2Change();
    void manlistbtnClick();
    void womanlistbtnClick();
    void musiclistClick();
    void singerlistbtnClick();
    void menubtnClick();
    void WebBrowser1DocumentComplete();
    void WebBrowser2DocumentComplete();
    void WebBrowser1ProgressChange(int progress, int maximum);
    void stopbtnClick();
    void SeSkinSpeedButton2Click();
    void ListView1DblClick();

    // Download queue, passes and their display
    void dragdownbtnClick();
    void delbtnClick();
    void delallbtnClick();
    void SeSkinButton3Click();
    void SeSkinButton1Click();
    void downbtnClick();
    void Timer1Timer();
    // A progress row became selected (nullopt: none is).
    void downloadnowSelectItem(std::optional<int> row);

    // Music greeting card (app/cardflow.cpp): the editor's toolbar, the card list, the page,
    // its preview and saving it.
    void htmlrunbtnClick();
    void h1btnClick();
    void h2btnClick();
    void h3btnClick();
    void h4btnClick();
    void bigbtnClick();
    void strongbtnClick();
    void ibtnClick();
    void ubtnClick();
    void centrebtnClick();
    void picbtnClick();
    void backbtnClick();
    void colorcomboxChange();
    void fontsizecomboxChange();
    void dragcardbtnClick();
    void cardsurebtnClick();
    void previewbtnClick();
    void iesetbtnClick();
    void cancelbtnClick();

    // Online playing (app/playflow.cpp): the play list's buttons, "在线播放", the player page
    // in WebBrowser3 with its loading label, and the desktop's media controls.
    void dragplaybtnClick();
    void playdelbtnClick();
    void playclearClick();
    void playsavebtnClick();
    void playloadbtnClick();
    void SeSkinButton4Click();
    void WebBrowser3ProgressChange(int progress, int maximum);
    void WebBrowser3DocumentComplete();

protected:
    void closeEvent(QCloseEvent* event) override;
    // Enter that no control took in the search bar or the result list presses the default
    // button Button1.
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class testing::WindowInside;

    // --- State (names as the rest of the program uses them) ---
    QString ProgramDir;
    QString SaveFolder;
    QString CardPicture;
    QString OpenDialog1InitialDir;  // the card picture dialog's first folder
    SearchSession searchSession;
    CatalogueSearch catalogueSearch;
    // The engine chosen in SeSkinComboBox2; engines() lists them in the box's order.
    [[nodiscard]] const search::Engine& engine() const;
    [[nodiscard]] const std::vector<std::unique_ptr<search::Engine>>& engines() const {
        return engines_;
    }
    bool retargetRows = false;
    QVector<QIcon> ImageList1;  // the kind icons
    [[nodiscard]] const search::Hosts& serviceHosts() const { return hosts_; }
    // The queue and the passes over it; downloadlistview shows its rows.
    [[nodiscard]] download::Downloader& downloader() const { return *downloader_; }
    [[nodiscard]] const download::ProgressBoard& progressBoard() const { return *board_; }
    // Runs while a pass or a worker may still have news; each tick takes what they pushed.
    [[nodiscard]] ui::Ticker& eventPump() const { return *eventPump_; }
    // The play list and the card list, in the result list's row shape; playListView and
    // cardlistview show them once showPlayList() or showCardList() has run.
    std::vector<core::SongRow> PlayList;
    std::vector<core::SongRow> cardList;
    void showPlayList();
    void showCardList();
    // The download log's entries, oldest first, as downinimemo shows them.
    QStringList DownloadLog;
    void logDownload(const QString& line);
    // What the lists show: ListView1, downloadlistview (with save paths), playListView,
    // cardlistview and downloadnow.
    [[nodiscard]] SongRowModel& resultRows() const { return *resultRows_; }
    [[nodiscard]] SongRowModel& queueRows() const { return *queueRows_; }
    [[nodiscard]] SongRowModel& playRows() const { return *playRows_; }
    [[nodiscard]] SongRowModel& cardRows() const { return *cardRows_; }
    [[nodiscard]] const ProgressModel& progressRows() const { return *progressRows_; }
    // One player sounds at a time in the program: the play panel's and the card preview's.
    [[nodiscard]] player::PlaybackCoordinator& playback() const { return *playback_; }
    // The save-folder chooser, created hidden at start-up; null until one attaches itself.
    TForm2* Form2 = nullptr;

    // The controls, a struct a view (app/windowparts.h).
    SearchBar searchBar_;
    FunctionPanel functionPanel_;
    ResultView resultView_;
    PlayPanel playPanel_;
    DownloadView downloadView_;
    CardView cardView_;
    StatusBar statusBar_;
    // Ticks once a second while a pass runs: the status panels and the progress list.
    std::unique_ptr<ui::Ticker> Timer1;

    static constexpr int kDesignClientWidth = 696;
    static constexpr int kDesignClientHeight = 604;
    void setUp(const StartOptions& options);
    void buildSearchBar(QWidget* client);
    void buildFunctionPanel(QWidget* client);
    void buildSearchView(QWidget* client);
    void buildDownloadPanel(QWidget* client);
    void buildCardPanel(QWidget* client);
    void buildStatusBar(QWidget* client);
    static constexpr std::array<int, 4> kStatusPanelWidths{150, 100, 80, 50};
    static constexpr int kPassStatusWidth = 120;
    void fitStatusPanels();
    void buildWindowMenus();
    void showView(bool search, bool download, bool card);
    // Keeps the aligned regions (search bar, function panel, status bar, the filling panels)
    // at their edges when the client area changes size.
    void alignRegions();
    [[nodiscard]] bool enterSearches() const;
    bool FormCloseQuery();
    void FormClose();

    void connectSearchFlow();
    void runRequest(const search::Request& request);
    // The result list as the engines read a page against it.
    [[nodiscard]] search::ListContext listContext() const;
    // Appends the rows, sets the count label and the caption, keeps the search state.
    void showPageRead(const search::ResultPageRead& read);
    // False (and says so in the status bar) when the engine has no chart, singer or album pages.
    bool listPagesOffered();
    void appendResults(const std::vector<core::SongRow>& rows);
    void clearResults();
    [[nodiscard]] std::vector<core::SongRow> selectedResults() const;
    // The selected rows the action may take; each row whose address is not a web address is
    // left out with a line in the download log. Nothing when rows were left out and no file
    // row remains: the action then stops without a message of its own.
    std::optional<std::vector<core::SongRow>> selectedResultsFor(core::RowAction action);
    // True when the row was a list entry and started a search.
    bool ListView1SelectItem(int row);

    // The music catalogues (app/catalogueflow.cpp): their pages and items over plain HTTP.
    void fetchCataloguePage(const std::string& address);
    void cataloguePageArrived(const core::GetAnswer& answer);
    void catalogueItemArrived(std::size_t index, const search::ItemRef& item,
                              const core::GetAnswer& answer);
    // Numbers the rows on and appends them, up to the row limit; false once the list is full.
    bool appendCatalogueRows(std::vector<core::SongRow> rows);
    void continueCatalogueSearch(bool pageAddedRows);
    void endCatalogueSearch(const std::string& line, bool noNetwork = false);
    void showSearchStatus(const std::string& line);
    // Ends whatever search runs: the browsers' loads and the catalogue's requests.
    void stopAllSearches();

    // The lists' right-click menus, keys and the result list's sorting (app/listactions.cpp).
    void connectListActions();
    void showListMenu(ui::ReportView* list, const QPoint& pos);
    // Delete, Space and the like on a list; true when the key was used.
    bool listKeyPressed(ui::ReportView* list, const QKeyEvent& key);
    void ListView1HeaderClick(int column);
    bool selectingAllResults_ = false;  // Ctrl+A: no list entry's search starts
    // A new search shows its rows in the order they come.
    void unsortResults();
    void removeSelectedCardRows();
    // The player of the view that is up, if its page has one.
    [[nodiscard]] player::NativePlayer* shownPlayer() const;

    // The desktop around the window (app/desktopflow.cpp): finished files to the desktop, the
    // pass's progress on the status bar and the task bar, the notification at its end.
    // The file a queue or progress row's download wrote; empty while there is none.
    [[nodiscard]] QString finishedFileAt(const ui::ReportView* list, int row) const;
    void openFinishedFile(const QString& path);
    void showFinishedFileInFolder(const QString& path);
    void followPass(bool ended);
    void bringToFront();
    bool passFollowed_ = false;  // a pass pressed for has not been reported as ended
    int shownTaskPercent_ = -1;  // on the task bar entry; -1: none shown

    void connectDownloadFlow();
    // False, removing nothing, while files run (the queue's rows are known by their index).
    bool removeSelectedJobs();
    // Brings back the rows a previous run left unfinished and keeps the queue file from now on.
    void restoreUnfinishedDownloads();
    // Takes the downloader's events into the progress board and the controls; stops its own
    // polling once no pass and no file runs.
    void drainDownloadEvents();
    void showBoardChanges(const download::ProgressBoard::Changes& changes);
    void showBars();
    void showQueue();

    void connectCardFlow();
    void pressTagButton(std::string_view button);
    void pickFontEntry();
    void applyCardEdit(const card::EditOutcome& outcome);
    // Melorin's player in place of a browser's player objects; the host goes with the browser.
    void attachPlayerHost(WebBrowser& browser, QPointer<player::PlayerPageHost>& host);
    QPointer<player::PlayerPageHost> cardPlayerHost_;  // WebBrowser4's, once its engine runs

    void connectPlayFlow();
    // Shows the add action's message, or applies it to the play list and the card list; false
    // when it was refused.
    bool applyPlayListAdd(const player::AddOutcome& add);
    // Writes the page's files into ProgramDir and shows the page in WebBrowser3; `rows` name
    // the page's entries.
    void showPlayerPage(const player::PageToShow& page, const std::vector<core::SongRow>& rows);
    // Marks the play-list row whose entry the play panel's player is at.
    void markPlayingEntry();
    QPointer<player::PlayerPageHost> playerHost_;  // WebBrowser3's, once its engine runs
    std::unique_ptr<player::MprisService> mpris_;  // reset before playback() goes
    core::Ratio screenScale_;                      // what fitToScreen scaled the controls by
    std::optional<QFont> designFont_;              // the application's font before the fit

    ui::UiPort& ui_;
    SongRowModel* resultRows_ = nullptr;
    ResultSortModel* resultSort_ = nullptr;  // ListView1 shows resultRows_ through it
    SongRowModel* queueRows_ = nullptr;
    SongRowModel* playRows_ = nullptr;
    SongRowModel* cardRows_ = nullptr;
    ProgressModel* progressRows_ = nullptr;
    search::Hosts hosts_;
    std::vector<std::unique_ptr<search::Engine>> engines_;  // the engine box's items
    std::unique_ptr<core::HttpGet> catalogueHttp_;
    std::unique_ptr<download::Downloader> downloader_;
    std::unique_ptr<download::ProgressBoard> board_;
    std::unique_ptr<player::PlaybackCoordinator> playback_;
    std::unique_ptr<ui::Ticker> eventPump_;  // drains the download core's events while it runs
    bool showingSelection_ = false;          // the window itself moves the progress-row selection
    std::optional<int> resultsToFit_;  // the first result row not yet measured, while a fit waits
};

}  // namespace melorin
