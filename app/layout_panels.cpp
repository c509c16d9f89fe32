// The download panel and the card panel; both fill the client area beside the function panel.

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <string_view>
#include <utility>

#include "app/controls.h"
#include "app/mainwindow.h"
#include "app/progressmodel.h"
#include "app/songrowmodel.h"
#include "app/webbrowser.h"
#include "card/colours.h"
#include "card/tags.h"
#include "core/qtext.h"
#include "ui/cardboxes.h"
#include "ui/reportview.h"
#include "ui/skin.h"

namespace melorin {

using namespace controls;

namespace {
constexpr QRect kFillBounds(121, 73, 575, 509);
}  // namespace

void TForm1::buildDownloadPanel(QWidget* client) {
    DownloadView& view = downloadView_;
    view.Iesetpanel =
        panel(client, QStringLiteral("Iesetpanel"), QStringLiteral("下载"), kFillBounds);
    view.Iesetpanel->setProperty("alignClient", true);
    queueRows_ = new SongRowModel(
        {QString(), QStringLiteral("歌曲名"), QStringLiteral("下载地址"), QStringLiteral("大小"),
         QStringLiteral("类型"), QStringLiteral("保存地址")},
        &ImageList1, this);
    view.downloadlistview = reportList(view.Iesetpanel, QStringLiteral("downloadlistview"),
                                       queueRows_, QRect(6, 24, 563, 150));
    view.downloadlistview->setSelectionMode(QAbstractItemView::ExtendedSelection);

    view.downbtn = button(view.Iesetpanel, QStringLiteral("downbtn"), QStringLiteral("开始下载"),
                          QRect(6, 180, 96, 26));
    view.delbtn = button(view.Iesetpanel, QStringLiteral("delbtn"), QStringLiteral("删除所选项"),
                         QRect(108, 180, 96, 26));
    view.delallbtn = button(view.Iesetpanel, QStringLiteral("delallbtn"),
                            QStringLiteral("清空列表"), QRect(210, 180, 96, 26));
    view.SeSkinButton3 = button(view.Iesetpanel, QStringLiteral("SeSkinButton3"),
                                QStringLiteral("修改保存地址"), QRect(312, 180, 110, 26));

    view.downinimemo =
        memo(view.Iesetpanel, QStringLiteral("downinimemo"), QString(), QRect(6, 212, 563, 104));
    view.downinimemo->setProperty("logMemo", true);
    view.downinimemo->setReadOnly(true);
    view.downinimemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    view.SeSkinLabel2 = label(view.Iesetpanel, QStringLiteral("SeSkinLabel2"),
                              QStringLiteral("下载进度"), QRect(6, 320, 563, 18));
    view.SeSkinLabel2->setAlignment(Qt::AlignCenter);

    // Its rows are the download board's, which the download flow creates.
    progressRows_ = new ProgressModel(this);
    view.downloadnow = reportList(view.Iesetpanel, QStringLiteral("downloadnow"), progressRows_,
                                  QRect(6, 340, 400, 162));
    for (int i = 0; i < 5; ++i) {
        view.workerBars.push_back(progressBar(view.Iesetpanel,
                                              QStringLiteral("SeSkinProgressBar%1").arg(i + 1),
                                              QRect(414, 348 + i * 31, 155, 18)));
    }
}

void TForm1::buildCardPanel(QWidget* client) {
    CardView& view = cardView_;
    view.setpanel =
        panel(client, QStringLiteral("setpanel"), QStringLiteral("音乐贺卡"), kFillBounds);
    view.setpanel->setProperty("alignClient", true);
    view.setpanel->setToolTip(
        QStringLiteral("在搜索列表中双击某项变可添加到贺卡列表中，贺卡列表只能有一项 "));

    cardRows_ = new SongRowModel(resultColumns(), &ImageList1, this);
    view.cardlistview =
        reportList(view.setpanel, QStringLiteral("cardlistview"), cardRows_, QRect(6, 24, 471, 58));
    view.cardlistview->setProperty("gridLines", true);
    view.cancelbtn = button(view.setpanel, QStringLiteral("cancelbtn"), QStringLiteral("清空列表"),
                            QRect(483, 24, 86, 24));
    // The preview spans the panel, wider than a card's player, and shows the head of a card;
    // it scrolls with the mouse wheel, without scroll bars taking its room.
    label(view.setpanel, QStringLiteral("SeSkinLabel7"), QStringLiteral("预览"),
          QRect(6, 86, 60, 18));
    view.WebBrowser4 = new WebBrowser(view.setpanel, QStringLiteral("WebBrowser4"), ui_);
    view.WebBrowser4->view()->setGeometry(6, 104, 563, 156);
    view.WebBrowser4->addPageSetUp([](QWebEnginePage& page) {
        page.settings()->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    });

    view.SeSkinPanel2 = panel(view.setpanel, QStringLiteral("SeSkinPanel2"),
                              QStringLiteral("贺卡内容"), QRect(6, 266, 563, 237));
    view.nameedit = edit(view.SeSkinPanel2, QStringLiteral("nameedit"), QStringLiteral("标题"),
                         QRect(8, 26, 547, 24));
    view.iememo = memo(view.SeSkinPanel2, QStringLiteral("iememo"), QStringLiteral("内容"),
                       QRect(8, 56, 547, 100));
    view.iememo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    view.iememo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    view.SeSkinToolBar2 =
        toolBar(view.SeSkinPanel2, QStringLiteral("SeSkinToolBar2"), QRect(8, 162, 547, 29));
    // The ten tag buttons take their captions and hints from the card library's table. The
    // buttons stand closer than on the other tool bars, so that the font box shows a whole face.
    const std::pair<QToolButton**, const char*> tagButtons[] = {
        {&view.htmlrunbtn, "htmlrunbtn"}, {&view.h1btn, "h1btn"}, {&view.h2btn, "h2btn"},
        {&view.h3btn, "h3btn"},           {&view.h4btn, "h4btn"}, {&view.bigbtn, "bigbtn"},
        {&view.strongbtn, "strongbtn"},   {&view.ibtn, "ibtn"},   {&view.ubtn, "ubtn"},
        {&view.centrebtn, "centrebtn"},
    };
    int x = 2;
    for (const auto& [member, name] : tagButtons) {
        const card::Tag* tag = card::tagOfButton(name);
        *member = toolButton(view.SeSkinToolBar2, QString::fromLatin1(name), fromUtf8(tag->caption),
                             fromUtf8(tag->hint), QRect(x, 3, 24, 23));
        x += 25;
    }
    view.picbtn = toolButton(view.SeSkinToolBar2, QStringLiteral("picbtn"), QStringLiteral("图"),
                             QStringLiteral("背景图片"), QRect(x, 3, 24, 23));
    x += 25;
    view.backbtn = toolButton(view.SeSkinToolBar2, QStringLiteral("backbtn"), QStringLiteral("返"),
                              QStringLiteral("回溯"), QRect(x, 3, 24, 23));
    x += 25;
    view.colorcombox =
        dropDown(view.SeSkinToolBar2, QStringLiteral("colorcombox"), QRect(x + 2, 3, 71, 23));
    view.colorcombox->setToolTip(QStringLiteral("字体颜色"));
    for (const card::ColourEntry& entry : card::colourEntries())
        view.colorcombox->addItem(fromUtf8(entry.name));
    view.colorcombox->setCurrentIndex(0);
    view.fontsizecombox =
        dropDown(view.SeSkinToolBar2, QStringLiteral("fontsizecombox"), QRect(x + 75, 3, 170, 23));
    view.fontsizecombox->setToolTip(QStringLiteral("字体类型"));
    view.fontsizecombox->addItems(ui::fontFaces());
    view.fontsizecombox->setCurrentIndex(0);
    // A pick leaves the keyboard focus in the box the user was writing in, as the tool buttons
    // do; the boxes are still reached with the Tab key.
    view.colorcombox->setFocusPolicy(Qt::TabFocus);
    view.fontsizecombox->setFocusPolicy(Qt::TabFocus);

    view.previewbtn = button(view.SeSkinPanel2, QStringLiteral("previewbtn"),
                             QStringLiteral("预览"), QRect(8, 199, 90, 28));
    view.cardsurebtn = button(view.SeSkinPanel2, QStringLiteral("cardsurebtn"),
                              QStringLiteral("生成贺卡"), QRect(104, 199, 90, 28));
    view.cardsurebtn->hide();
    view.iesetbtn = button(view.SeSkinPanel2, QStringLiteral("iesetbtn"),
                           QStringLiteral("保存位置"), QRect(104, 199, 90, 28));
}

}  // namespace melorin
