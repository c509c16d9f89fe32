#include "app/mainwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QWebEngineView>
#include <cstdio>
#include <stdexcept>

#include "app/failurehook.h"
#include "app/fetchingbrowser.h"
#include "app/selectdir.h"
#include "app/startup.h"
#include "app/webbrowser.h"
#include "core/httpget.h"
#include "core/qtext.h"
#include "core/screenfit.h"
#include "download/curltransfer.h"
#include "player/mprisservice.h"
#include "player/playbackcoordinator.h"
#include "search/archiveengine.h"
#include "search/ccmixterengine.h"
#include "search/useragent.h"
#include "ui/reportview.h"
#include "ui/uiport.h"

namespace melorin {
namespace {

QString baseOr(const QString& base, std::string_view fallback) {
    return base.isEmpty() ? fromUtf8(fallback) : base;
}

// Downloads from the music catalogues carry Melorin's own name, as their searches do.
download::FetchOptions downloadOptions(const StartOptions& options) {
    download::FetchOptions fetch;
    fetch.ownName = search::catalogueUserAgent();
    fetch.ownNameOrigins = {
        baseOr(options.archiveBase, search::ArchiveEngine::kPublicBase).toStdString(),
        baseOr(options.ccmixterBase, search::CcMixterEngine::kPublicBase).toStdString()};
    return fetch;
}

}  // namespace

TForm1::TForm1(ui::UiPort& ui, const StartOptions& options, QWidget* parent)
    : SkinnedWindow(parent),
      ui_(ui),
      hosts_(options.service.isEmpty() ? search::Hosts{}
                                       : search::hostsOnOne(options.service.toStdString())),
      downloader_(std::make_unique<download::Downloader>(
          std::make_unique<download::CurlNetwork>(downloadOptions(options)))),
      playback_(std::make_unique<player::PlaybackCoordinator>()) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Melorin"));
    QWidget* client = clientArea();
    client->setFixedSize(kDesignClientWidth, kDesignClientHeight);

    // The two search browsers sit under the search bar, where nobody sees them.
    resultView_.WebBrowser1 =
        new FetchingBrowser(client, QStringLiteral("WebBrowser1"), search::pageUserAgent());
    resultView_.WebBrowser1->view()->setGeometry(0, 0, 24, 24);
    resultView_.WebBrowser2 =
        new FetchingBrowser(client, QStringLiteral("WebBrowser2"), search::pageUserAgent());
    resultView_.WebBrowser2->view()->setGeometry(0, 0, 25, 25);
    resultView_.Memo1 = new QPlainTextEdit(client);
    resultView_.Memo1->setObjectName(QStringLiteral("Memo1"));
    resultView_.Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    resultView_.Memo1->hide();
    resultView_.Button7 = new QPushButton(client);
    resultView_.Button7->setObjectName(QStringLiteral("Button7"));
    resultView_.Button7->hide();
    resultView_.Button9 = new QPushButton(client);
    resultView_.Button9->setObjectName(QStringLiteral("Button9"));
    resultView_.Button9->hide();

    // The engine box's items, in its order: the search service, then the music catalogues.
    engines_.push_back(std::make_unique<search::DefaultEngine>(hosts_));
    engines_.push_back(std::make_unique<search::ArchiveEngine>(
        baseOr(options.archiveBase, search::ArchiveEngine::kPublicBase).toStdString()));
    engines_.push_back(std::make_unique<search::CcMixterEngine>(
        baseOr(options.ccmixterBase, search::CcMixterEngine::kPublicBase).toStdString()));
    core::HttpGetOptions http;
    http.userAgent = search::catalogueUserAgent();
    http.maxRunning = options.catalogueConnections;
    catalogueHttp_ = std::make_unique<core::HttpGet>(http);

    buildSearchBar(client);
    buildFunctionPanel(client);
    buildSearchView(client);
    buildDownloadPanel(client);
    buildCardPanel(client);
    buildStatusBar(client);
    buildWindowMenus();
    Timer1 = ui_.createTicker(this, 1000);

    connect(functionPanel_.Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
    connect(functionPanel_.Button4, &QPushButton::clicked, this, &TForm1::Button4Click);
    connect(functionPanel_.Button5, &QPushButton::clicked, this, &TForm1::Button5Click);
    connectSearchFlow();
    connectDownloadFlow();

    // Design visibility, the same as the start view.
    downloadView_.Iesetpanel->hide();
    cardView_.setpanel->hide();
    playPanel_.SeSkinPanel1->raise();
    // The result list overlaps the play panel's empty head band, not the other way round: its
    // last row and its scroll bar stay whole.
    resultView_.ListView1->raise();
    statusBar_.SeSkinStatusBar1->raise();

    client->setMinimumSize(0, 0);
    client->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    resize(outerSizeFor(QSize(kDesignClientWidth, kDesignClientHeight)));
    client->installEventFilter(this);
    setUp(options);
    connectCardFlow();  // after set-up: the preview's player host reads ProgramDir
    connectPlayFlow();  // likewise the play panel's
    connectListActions();
    searchBar_.Edit1->setFocus();
}

TForm1::~TForm1() {
    installFailureHook(nullptr);
    catalogueHttp_.reset();  // no answer reaches a window on its way out
    // The program's texts go back to their design size with the window that scaled them.
    if (designFont_) QApplication::setFont(*designFont_);
    // The browsers' player hosts and their players go before playback() does, and so do the
    // desktop's media controls, which follow its current player.
    delete playPanel_.WebBrowser3;
    delete cardView_.WebBrowser4;
    mpris_.reset();
    if (Form2 != nullptr) Form2->detach();
    downloader_->stopAll();
    // The widgets go after the members; a list hidden on the way would still ask its model for
    // the icons and the board's rows.
    for (ui::ReportView* list : findChildren<ui::ReportView*>()) list->setModel(nullptr);
}

void TForm1::setUp(const StartOptions& options) {
    searchSession = {};
    playPanel_.WebBrowser3->setVisible(false);
    playPanel_.WebBrowser3->view()->lower();
    installFailureHook([this](const Failure& failure) { myexception(failure); });
    try {
        ImageList1.clear();
        QString note;
        ProgramDir = options.programDir.isEmpty()
                         ? resolveProgramDir(QCoreApplication::applicationDirPath(), &note)
                         : QDir::cleanPath(options.programDir) + u'/';
        if (!note.isEmpty()) std::fprintf(stderr, "%s\n", note.toLocal8Bit().constData());
        SaveFolder = ProgramDir + QStringLiteral("music/");
        if (!ensureFolder(SaveFolder)) {
            // Downloads report it when they try to create their files.
            std::fprintf(stderr, "melorin: cannot create %s\n",
                         SaveFolder.toLocal8Bit().constData());
        }
        retargetRows = false;
        OpenDialog1InitialDir = ProgramDir + QStringLiteral("pic/");
        CardPicture = ProgramDir + QStringLiteral("pic/0103.jpg");
        ImageList1 = loadKindIcons();
        if (ImageList1.size() != 6) throw std::runtime_error("file-type icons are missing");
        showView(true, false, false);
        resultView_.ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
        restoreUnfinishedDownloads();
    } catch (const std::exception& e) {
        reportFailure(QString::fromLocal8Bit(e.what()));
    }
}

void TForm1::fitToScreen(QRect available) {
    core::FitInput in;
    in.availableWidth = available.width();
    in.availableHeight = available.height();
    in.windowWidth = width();
    in.windowHeight = height();
    in.panel2Width = functionPanel_.Panel2->width();
    in.listView1Width = resultView_.ListView1->width();
    in.clientHeight = clientArea()->height();
    in.captionHeight = kCaptionHeight;
    in.frameBorder = kBorder;
    const core::FitResult fit = core::fitToScreen(in);
    if (!fit.scaled) return;
    const core::Ratio k = fit.controls;
    screenScale_ = k;
    scaleContents(k.num, k.den);
    for (ui::ReportView* list : clientArea()->findChildren<ui::ReportView*>())
        list->scaleColumnMinimum(k.num, k.den);
    // Everything else the program shows grows with the window: message boxes, file dialogs,
    // tool tips and menus take the application's font, the pages their browser's zoom.
    if (!designFont_) designFont_ = QApplication::font();
    QFont font = *designFont_;
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * k.factor());
    else
        font.setPixelSize(k.apply(font.pixelSize()));
    QApplication::setFont(font);
    for (WebBrowser* browser : {playPanel_.WebBrowser3, cardView_.WebBrowser4})
        browser->setZoomFactor(k.factor());
    if (Form2 != nullptr) Form2->scaleWindow(k);
    const QPoint topLeft = pos();
    resize(fit.windowWidth, fit.windowHeight);
    move(topLeft);
    // A hidden window gets its resize events only when shown; the regions must fit now.
    layout()->activate();
    alignRegions();
    for (ui::ReportView* list : clientArea()->findChildren<ui::ReportView*>()) list->fitColumns();
}

void TForm1::showView(bool search, bool download, bool card) {
    resultView_.ListView1->setVisible(search);
    playPanel_.SeSkinPanel1->setVisible(search);
    downloadView_.Iesetpanel->setVisible(download);
    cardView_.setpanel->setVisible(card);
    // The function panel shows which view is up: a checked button, a state the skin draws
    // without re-polishing (which would put the design font back on a scaled window).
    const std::pair<QPushButton*, bool> buttons[] = {{functionPanel_.Button3, search},
                                                     {functionPanel_.Button4, download},
                                                     {functionPanel_.Button5, card}};
    for (const auto& [button, current] : buttons) button->setChecked(current);
}

void TForm1::Button3Click() {
    showView(true, false, false);
}
void TForm1::Button4Click() {
    showView(false, true, false);
}
void TForm1::Button5Click() {
    showView(false, false, true);
}

void TForm1::buildWindowMenus() {
    QMenu* sys = systemMenu();
    connect(sys->addAction(QStringLiteral("还原")), &QAction::triggered, this,
            &TForm1::CustomItem1Click);
    connect(sys->addAction(QStringLiteral("最小化")), &QAction::triggered, this,
            &TForm1::CustomItem2Click);
    connect(sys->addAction(QStringLiteral("收缩")), &QAction::triggered, this,
            &TForm1::CustomItem3Click);
    connect(sys->addAction(QStringLiteral("缩为图标")), &QAction::triggered, this,
            &TForm1::CustomItem4Click);
    connect(trayMenu()->addAction(QStringLiteral("还原")), &QAction::triggered, this,
            &TForm1::CustomItem7Click);
}

void TForm1::CustomItem1Click() {
    restoreWindow();
}
void TForm1::CustomItem2Click() {
    minimizeWindow();
}
void TForm1::CustomItem3Click() {
    rollUp();
}
void TForm1::CustomItem4Click() {
    minimizeToTray();
}
void TForm1::CustomItem7Click() {
    restoreWindow();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == clientArea() && event->type() == QEvent::Resize) alignRegions();
    if (watched == statusBar_.SeSkinStatusBar1 && event->type() == QEvent::LayoutRequest)
        fitStatusPanels();
    if (event->type() == QEvent::KeyPress) {
        auto* list = qobject_cast<ui::ReportView*>(watched);
        if (list != nullptr && listKeyPressed(list, *static_cast<QKeyEvent*>(event))) return true;
    }
    if (watched == resultView_.ListView1->viewport() &&
        event->type() == QEvent::MouseButtonDblClick) {
        ListView1DblClick();
    }
    return SkinnedWindow::eventFilter(watched, event);
}

void TForm1::alignRegions() {
    const QSize c = clientArea()->size();
    if (c.width() <= 0 || c.height() <= 0) return;
    searchBar_.Panel1->setGeometry(0, 0, c.width(), searchBar_.Panel1->height());
    const int statusTop = c.height() - statusBar_.SeSkinStatusBar1->height();
    statusBar_.SeSkinStatusBar1->setGeometry(0, statusTop, c.width(),
                                             statusBar_.SeSkinStatusBar1->height());
    const int top = searchBar_.Panel1->height();
    functionPanel_.Panel2->setGeometry(0, top, functionPanel_.Panel2->width(), statusTop - top);
    for (QFrame* fill : {downloadView_.Iesetpanel, cardView_.setpanel}) {
        fill->setGeometry(functionPanel_.Panel2->width(), top,
                          c.width() - functionPanel_.Panel2->width(), statusTop - top);
    }
    for (QLabel* strip : clientArea()->findChildren<QLabel*>()) {
        if (strip->property("panelCaption").toBool())
            strip->resize(strip->parentWidget()->width() - 2, strip->height());
    }
    fitStatusPanels();
}

bool TForm1::FormCloseQuery() {
    if (!downloader_->exitQuestionNeeded()) return true;
    if (!ui_.askYesNo(this, QStringLiteral("还存在下载进程，确定退出吗？"))) return false;
    downloader_->confirmExit();
    return true;
}

void TForm1::FormClose() {
    // The connections go first, so no worker writes after the window has gone.
    downloader_->stopAll();
    if (passFollowed_) ui_.showTaskProgress(std::nullopt);
    passFollowed_ = false;  // a pass cut short by the close is not announced
    Timer1->stop();
    eventPump_->stop();
    emit closed(0);
}

void TForm1::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && enterSearches()) {
        searchBar_.Button1->click();
        return;
    }
    SkinnedWindow::keyPressEvent(event);
}

bool TForm1::enterSearches() const {
    // Only where a search is what the user is at: Enter in a card's title must not replace the
    // result list under the card.
    const QWidget* focus = focusWidget();
    return focus != nullptr &&
           (focus == searchBar_.Panel1 || searchBar_.Panel1->isAncestorOf(focus) ||
            focus == resultView_.ListView1 || resultView_.ListView1->isAncestorOf(focus));
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

}  // namespace melorin
