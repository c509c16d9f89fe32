// What the window's lists offer beyond their buttons: a right-click menu with the actions of
// the list's buttons (and, for a finished download, "打开" and "打开所在文件夹"), Delete,
// Space and Ctrl+A, double-click on a finished download, and sorting the result list by a
// header click. Every entry presses its button, so a menu does exactly what the button does.

#include <QAbstractButton>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <utility>
#include <vector>

#include "app/mainwindow.h"
#include "app/resultsortmodel.h"
#include "app/songrowmodel.h"
#include "app/webbrowser.h"
#include "download/finishedfile.h"
#include "player/nativeplayer.h"
#include "player/playerpagehost.h"
#include "ui/reportview.h"
#include "ui/uiport.h"

namespace melorin {

namespace {

const QString kOpen = QStringLiteral("打开");
const QString kOpenFolder = QStringLiteral("打开所在文件夹");

void addButtonEntry(QMenu& menu, QAbstractButton* button) {
    QAction* entry = menu.addAction(button->text());
    entry->setToolTip(button->toolTip());
    entry->setEnabled(button->isEnabled());
    QObject::connect(entry, &QAction::triggered, button, &QAbstractButton::click);
}

// The row a menu or a double-click acts on: the one under the pointer, else the current one.
int rowAt(const ui::ReportView& list, const QPoint& pos) {
    const int under = list.modelRow(list.indexAt(pos));
    return under >= 0 ? under : list.modelRow(list.currentIndex());
}

}  // namespace

void TForm1::connectListActions() {
    for (ui::ReportView* list :
         {resultView_.ListView1, playPanel_.playListView, cardView_.cardlistview,
          downloadView_.downloadlistview, downloadView_.downloadnow}) {
        list->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(list, &QWidget::customContextMenuRequested, this,
                [this, list](const QPoint& pos) { showListMenu(list, pos); });
        list->installEventFilter(this);
        // Ctrl+A selects all in every list.
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    }
    for (ui::ReportView* list : {downloadView_.downloadlistview, downloadView_.downloadnow}) {
        connect(list, &QAbstractItemView::doubleClicked, this, [this, list](const QModelIndex& i) {
            const QString path = finishedFileAt(list, list->modelRow(i));
            if (!path.isEmpty()) openFinishedFile(path);
        });
    }
    QHeaderView* header = resultView_.ListView1->header();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    connect(header, &QHeaderView::sectionClicked, this, &TForm1::ListView1HeaderClick);
}

void TForm1::showListMenu(ui::ReportView* list, const QPoint& pos) {
    QMenu menu(this);
    menu.setFont(list->font());  // a popup keeps the default font; the list's is the window's scale
    menu.setToolTipsVisible(true);
    std::vector<QAbstractButton*> buttons;
    if (list == resultView_.ListView1) {
        buttons = {playPanel_.dragplaybtn, playPanel_.dragdownbtn, playPanel_.dragcardbtn,
                   playPanel_.SeSkinButton4};
    } else if (list == playPanel_.playListView) {
        buttons = {playPanel_.playdelbtn, playPanel_.playclear, playPanel_.playsavebtn,
                   playPanel_.playloadbtn};
    } else if (list == cardView_.cardlistview) {
        buttons = {cardView_.cancelbtn, cardView_.previewbtn};
    } else if (list == downloadView_.downloadlistview || list == downloadView_.downloadnow) {
        const QString path = finishedFileAt(list, rowAt(*list, pos));
        QAction* open = menu.addAction(kOpen);
        open->setEnabled(!path.isEmpty() && download::isPlayableName(path.toStdString()));
        connect(open, &QAction::triggered, this, [this, path] { openFinishedFile(path); });
        QAction* folder = menu.addAction(kOpenFolder);
        folder->setEnabled(!path.isEmpty());
        connect(folder, &QAction::triggered, this,
                [this, path] { showFinishedFileInFolder(path); });
        if (list == downloadView_.downloadlistview) {
            menu.addSeparator();
            buttons = {downloadView_.downbtn, downloadView_.delbtn, downloadView_.delallbtn,
                       downloadView_.SeSkinButton3};
        }
    }
    for (QAbstractButton* button : buttons) addButtonEntry(menu, button);
    ui_.popUpMenu(menu, list->viewport()->mapToGlobal(pos));
}

bool TForm1::listKeyPressed(ui::ReportView* list, const QKeyEvent& key) {
    if (list == resultView_.ListView1 && key.matches(QKeySequence::SelectAll)) {
        // Selecting a chart entry starts its search; selecting all of them is no such choice.
        selectingAllResults_ = true;
        resultView_.ListView1->selectAll();
        selectingAllResults_ = false;
        return true;
    }
    if (key.modifiers() != Qt::NoModifier) return false;
    if (key.key() == Qt::Key_Space) {
        player::NativePlayer* player = shownPlayer();
        if (player == nullptr) return false;  // the list keeps Space for its selection
        player->playPause();
        return true;
    }
    if (key.key() != Qt::Key_Delete) return false;
    if (list == playPanel_.playListView) {
        playdelbtnClick();
    } else if (list == cardView_.cardlistview) {
        removeSelectedCardRows();
    } else if (list == downloadView_.downloadlistview) {
        if (!removeSelectedJobs())
            logDownload(QStringLiteral("正在下载，下载列表中的项暂时不能删除"));
    } else {
        return false;
    }
    return true;
}

player::NativePlayer* TForm1::shownPlayer() const {
    const player::PlayerPageHost* host = nullptr;
    if (cardView_.setpanel->isVisible()) {
        host = cardPlayerHost_;
    } else if (playPanel_.SeSkinPanel1->isVisible() && playPanel_.WebBrowser3->isVisible()) {
        host = playerHost_;
    }
    if (host == nullptr) return nullptr;
    const QList<player::NativePlayer*> players = host->players();
    return players.isEmpty() ? nullptr : players.first();
}

void TForm1::removeSelectedCardRows() {
    const QList<int> selected = cardView_.cardlistview->selectedRowIndexes();
    if (selected.isEmpty()) return;
    cardList = withoutRows(cardList, selected);
    showCardList();
}

void TForm1::ListView1HeaderClick(int column) {
    QHeaderView* header = resultView_.ListView1->header();
    // A second click on the same column turns the order round.
    const bool again = resultSort_->isSorted() && resultSort_->sortColumn() == column;
    const Qt::SortOrder order = again && resultSort_->sortOrder() == Qt::AscendingOrder
                                    ? Qt::DescendingOrder
                                    : Qt::AscendingOrder;
    if (!resultSort_->sortByColumn(column, order)) {
        // The address column sorts nothing; the arrow stays where the order comes from.
        header->setSortIndicator(resultSort_->sortColumn(), resultSort_->sortOrder());
        return;
    }
    header->setSortIndicatorShown(true);
    header->setSortIndicator(column, order);
}

void TForm1::unsortResults() {
    resultSort_->unsort();
    resultView_.ListView1->header()->setSortIndicatorShown(false);
}

}  // namespace melorin
