// The search bar, the function panel, the search view (result list and play panel) and the
// status bar, at their design bounds in client coordinates (696 x 604).

#include <QAbstractItemView>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>
#include <algorithm>

#include "app/controls.h"
#include "app/mainwindow.h"
#include "app/resultsortmodel.h"
#include "app/songrowmodel.h"
#include "app/webbrowser.h"
#include "ui/reportview.h"
#include "ui/skin.h"

namespace melorin {

using namespace controls;

void TForm1::buildSearchBar(QWidget* client) {
    SearchBar& bar = searchBar_;
    bar.Panel1 = panel(client, QStringLiteral("Panel1"), QString(), QRect(0, 0, 696, 73));
    bar.Panel1->setProperty("alignTop", true);

    bar.SeSkinComboBox2 =
        dropDown(bar.Panel1, QStringLiteral("SeSkinComboBox2"), QRect(6, 8, 128, 24));
    int widest = 0;
    for (const auto& engine : engines_) {
        const QString name = QString::fromStdString(engine->name());
        bar.SeSkinComboBox2->addItem(name);
        widest = std::max(widest, bar.SeSkinComboBox2->fontMetrics().horizontalAdvance(name));
    }
    // The catalogues' names are wider than the box; its list shows them whole.
    bar.SeSkinComboBox2->view()->setMinimumWidth(widest + 32);
    bar.SeSkinComboBox2->setCurrentIndex(0);
    bar.SeSkinComboBox1 =
        dropDown(bar.Panel1, QStringLiteral("SeSkinComboBox1"), QRect(140, 8, 72, 24));
    bar.SeSkinComboBox1->addItems({QStringLiteral("MP3"), QStringLiteral("RM"),
                                   QStringLiteral("WMA"), QStringLiteral("ASF"),
                                   QStringLiteral("RAM"), QStringLiteral("FLASH")});
    bar.SeSkinComboBox1->setCurrentIndex(0);
    bar.Edit1 = edit(bar.Panel1, QStringLiteral("Edit1"), QString(), QRect(218, 8, 262, 24));
    bar.Edit1->setToolTip(QStringLiteral("请输入歌手名或歌曲名,然后点击搜索键"));
    bar.Edit1->setPlaceholderText(QStringLiteral("请输入歌手名或歌曲名,然后点击搜索键"));
    bar.Button1 = button(bar.Panel1, QStringLiteral("Button1"), QStringLiteral("搜索"),
                         QRect(486, 7, 64, 26));
    bar.Button1->setDefault(true);
    ui::makeBold(bar.Button1);
    // The window's default button: Enter in the search bar or the result list presses it
    // (keyPressEvent).
    bar.SeSkinButton1 = button(bar.Panel1, QStringLiteral("SeSkinButton1"),
                               QStringLiteral("保存目录"), QRect(556, 7, 84, 26));

    bar.SeSkinToolBar1 =
        toolBar(bar.Panel1, QStringLiteral("SeSkinToolBar1"), QRect(3, 40, 689, 29));
    bar.SeSkinLabel1 = label(bar.SeSkinToolBar1, QStringLiteral("SeSkinLabel1"),
                             QStringLiteral("搜索进度"), QRect(4, 4, 56, 21));
    bar.SeSkinProgressBar6 = progressBar(bar.SeSkinToolBar1, QStringLiteral("SeSkinProgressBar6"),
                                         QRect(62, 7, 232, 15));
    struct Tool {
        QToolButton** slot;
        const char* name;
        const char16_t* caption;
        const char16_t* hint;
    };
    const Tool tools[] = {
        {&bar.SeSkinSpeedButton2, "SeSkinSpeedButton2", u"刷", u"刷新搜索结果"},
        {&bar.stopbtn, "stopbtn", u"停", u"停止搜索"},
        {&bar.manlistbtn, "manlistbtn", u"男", u"男歌手列表"},
        {&bar.womanlistbtn, "womanlistbtn", u"女", u"女歌手列表"},
        {&bar.SeSkinSpeedButton1, "SeSkinSpeedButton1", u"辑", u"显示相关专辑"},
        {&bar.musiclist, "musiclist", u"歌", u"歌曲列表"},
        {&bar.singerlistbtn, "singerlistbtn", u"全", u""},
    };
    int x = 302;
    for (const Tool& t : tools) {
        *t.slot = toolButton(bar.SeSkinToolBar1, QString::fromLatin1(t.name),
                             QString::fromUtf16(t.caption), QString::fromUtf16(t.hint),
                             QRect(x, 3, 25, 23));
        x += 27;
    }
    bar.resultlabel = label(bar.SeSkinToolBar1, QStringLiteral("resultlabel"),
                            QStringLiteral("搜索结果为:"), QRect(x + 6, 4, 689 - x - 10, 21));
}

void TForm1::buildFunctionPanel(QWidget* client) {
    FunctionPanel& left = functionPanel_;
    left.Panel2 =
        panel(client, QStringLiteral("Panel2"), QStringLiteral("功能选项"), QRect(0, 73, 121, 509));
    left.Panel2->setProperty("alignLeft", true);
    // Tops are given in window coordinates; the panel starts at 73.
    // Checked: the view that is up.
    left.Button3 = viewButton(left.Panel2, QStringLiteral("Button3"), QStringLiteral("在线听歌"),
                              QRect(21, 121 - 73, 75, 60));
    left.Button4 = viewButton(left.Panel2, QStringLiteral("Button4"), QStringLiteral("下载"),
                              QRect(21, 185 - 73, 75, 60));
    left.Button5 = viewButton(left.Panel2, QStringLiteral("Button5"), QStringLiteral("音乐贺卡"),
                              QRect(21, 250 - 73, 75, 60));
    for (QPushButton* b : {left.Button3, left.Button4, left.Button5}) ui::makeBold(b);
    left.Edit2 =
        edit(left.Panel2, QStringLiteral("Edit2"), QStringLiteral("5"), QRect(21, 330, 75, 21));
    left.threedit =
        edit(left.Panel2, QStringLiteral("threedit"), QStringLiteral("15"), QRect(21, 356, 75, 21));
    left.Edit2->hide();
    left.threedit->hide();
}

void TForm1::buildSearchView(QWidget* client) {
    PlayPanel& play = playPanel_;
    resultRows_ = new SongRowModel(resultColumns(), &ImageList1, this);
    resultSort_ = new ResultSortModel(*resultRows_, this);
    resultView_.ListView1 =
        reportList(client, QStringLiteral("ListView1"), resultSort_, QRect(121, 73, 577, 320));
    resultView_.ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    resultView_.ListView1->setToolTip(QStringLiteral("请按下ctrl,或者shift进行多选"));

    play.SeSkinPanel1 =
        panel(client, QStringLiteral("SeSkinPanel1"), QString(), QRect(121, 384, 575, 201));
    // The panel has no caption text; its header band still reads as the panel's top edge.
    label(play.SeSkinPanel1, QStringLiteral("SeSkinPanel1Caption"), QString(), QRect(1, 1, 573, 22))
        ->setProperty("panelCaption", true);
    play.SeSkinToolBar3 =
        toolBar(play.SeSkinPanel1, QStringLiteral("SeSkinToolBar3"), QRect(0, 24, 575, 29));
    // Two lines as given; never wrapped again, which at other scales would break a line.
    label(play.SeSkinToolBar3, QStringLiteral("SeSkinLabel3"),
          QStringLiteral("选择想保存到\n对应列表"), QRect(4, 0, 72, 29));
    play.dragplaybtn = toolButton(
        play.SeSkinToolBar3, QStringLiteral("dragplaybtn"), QStringLiteral("播"),
        QStringLiteral("搜索栏所选项保存到播放列表，点击‘唱'进行播放"), QRect(78, 3, 25, 23));
    play.dragdownbtn = toolButton(
        play.SeSkinToolBar3, QStringLiteral("dragdownbtn"), QStringLiteral("下"),
        QStringLiteral("搜索栏所选项保存到下载列表，点击‘下载'进行下载"), QRect(105, 3, 25, 23));
    play.dragcardbtn =
        toolButton(play.SeSkinToolBar3, QStringLiteral("dragcardbtn"), QStringLiteral("卡"),
                   QStringLiteral("搜索栏所选项保存到音乐贺卡列表，点击‘音乐贺卡'进行编辑"),
                   QRect(132, 3, 25, 23));
    label(play.SeSkinToolBar3, QStringLiteral("SeSkinLabel5"),
          QStringLiteral("当前播放列表\n删除操作"), QRect(166, 0, 76, 29));
    play.playdelbtn =
        toolButton(play.SeSkinToolBar3, QStringLiteral("playdelbtn"), QStringLiteral("删"),
                   QStringLiteral("删除档前播放列表所选项"), QRect(244, 3, 25, 23));
    play.playclear =
        toolButton(play.SeSkinToolBar3, QStringLiteral("playclear"), QStringLiteral("清"),
                   QStringLiteral("清空当前播放列表"), QRect(271, 3, 25, 23));
    label(play.SeSkinToolBar3, QStringLiteral("SeSkinLabel6"),
          QStringLiteral("播放列表的\n播放及存储"), QRect(306, 0, 66, 29));
    play.playsavebtn =
        toolButton(play.SeSkinToolBar3, QStringLiteral("playsavebtn"), QStringLiteral("存"),
                   QStringLiteral("保存当前播放列表"), QRect(374, 3, 25, 23));
    play.playnowbtn =
        toolButton(play.SeSkinToolBar3, QStringLiteral("playnowbtn"), QStringLiteral("唱"),
                   QStringLiteral("播放当前列表"), QRect(374, 3, 25, 23));
    play.playnowbtn->hide();
    play.playsavebtn->raise();
    play.playloadbtn =
        toolButton(play.SeSkinToolBar3, QStringLiteral("playloadbtn"), QStringLiteral("装"),
                   QStringLiteral("装载播放列表"), QRect(401, 3, 25, 23));
    play.SeSkinButton4 = button(play.SeSkinToolBar3, QStringLiteral("SeSkinButton4"),
                                QStringLiteral("在线播放"), QRect(436, 2, 84, 25));
    play.SeSkinButton4->setToolTip(QStringLiteral("播放当前列表"));

    playRows_ = new SongRowModel(resultColumns(), &ImageList1, this);
    play.playListView = reportList(play.SeSkinPanel1, QStringLiteral("playListView"), playRows_,
                                   QRect(8, 56, 561, 137));
    play.playListView->setSelectionMode(QAbstractItemView::ExtendedSelection);

    play.WebBrowser3 = new WebBrowser(play.SeSkinPanel1, QStringLiteral("WebBrowser3"), ui_);
    play.WebBrowser3->view()->setGeometry(8, 128, 561, 72);
    // The page's player sits at the top of its strip: a page's default margin above it would
    // push its lower edge out of the strip.
    play.WebBrowser3->addPageSetUp([](QWebEnginePage& page) {
        QWebEngineScript margin;
        margin.setName(QStringLiteral("melorin-player-strip"));
        margin.setInjectionPoint(QWebEngineScript::DocumentReady);
        margin.setWorldId(QWebEngineScript::ApplicationWorld);
        margin.setSourceCode(
            QStringLiteral("(function(){var s=document.createElement('style');"
                           "s.textContent='body{margin-top:2px;margin-bottom:0}';"
                           "(document.head||document.documentElement).appendChild(s);})()"));
        page.scripts().insert(margin);
    });
    play.SeSkinLabel4 =
        label(play.SeSkinPanel1, QStringLiteral("SeSkinLabel4"),
              QStringLiteral("正在装载播放器，清稍侯......."), QRect(8, 130, 300, 20));
    play.SeSkinLabel4->hide();
}

void TForm1::buildStatusBar(QWidget* client) {
    StatusBar& bar = statusBar_;
    bar.SeSkinStatusBar1 =
        panel(client, QStringLiteral("SeSkinStatusBar1"), QString(), QRect(0, 582, 696, 22));
    bar.SeSkinStatusBar1->setProperty("alignBottom", true);
    bar.SeSkinStatusBar1->setProperty("statusBar", true);
    int x = 0;
    for (int w : kStatusPanelWidths) {
        auto* p = label(bar.SeSkinStatusBar1,
                        QStringLiteral("SeSkinStatusPanel%1").arg(bar.statusPanels.size() + 1),
                        QString(), QRect(x, 1, w, 20));
        p->setProperty("statusPanel", true);
        bar.statusPanels.push_back(p);
        x += w;
    }
    bar.passStatus = label(bar.SeSkinStatusBar1, QStringLiteral("passStatus"), QString(),
                           QRect(x, 1, kPassStatusWidth, 20));
    bar.passStatus->setProperty("statusPanel", true);
    bar.passStatus->hide();  // until a pass is followed
    bar.searchStatus = label(bar.SeSkinStatusBar1, QStringLiteral("searchStatus"), QString(),
                             QRect(x + 4, 1, 696 - x - 8, 20));
    bar.searchStatus->setTextFormat(Qt::PlainText);
    // A panel whose text changes asks its bar for room.
    bar.SeSkinStatusBar1->installEventFilter(this);
}

void TForm1::fitStatusPanels() {
    StatusBar& bar = statusBar_;
    // Each panel at least its design width and its text's width; the catalogue's status line
    // takes the rest of the bar.
    int x = 0;
    for (qsizetype i = 0; i < bar.statusPanels.size(); ++i) {
        QLabel* p = bar.statusPanels[i];
        const int design = screenScale_.apply(kStatusPanelWidths[static_cast<std::size_t>(i)]);
        const int width = std::max(design, p->sizeHint().width());
        p->setGeometry(x, p->y(), width, p->height());
        x += width;
    }
    // The pass's files and percent, a panel of their own once a pass has begun; a steady
    // width, so that the line beside it does not jump with each percent.
    if (!bar.passStatus->text().isEmpty()) {
        const int width =
            std::max(screenScale_.apply(kPassStatusWidth), bar.passStatus->sizeHint().width());
        bar.passStatus->setGeometry(x, bar.passStatus->y(), width, bar.passStatus->height());
        bar.passStatus->show();
        x += width;
    }
    const int gap = screenScale_.apply(4);
    bar.searchStatus->setGeometry(x + gap, bar.searchStatus->y(),
                                  std::max(0, bar.SeSkinStatusBar1->width() - x - gap),
                                  bar.searchStatus->height());
}

}  // namespace melorin
