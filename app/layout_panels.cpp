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
#include "ui/cardboxes.h"
#include "ui/reportview.h"
#include "ui/skin.h"

namespace melorin {

using namespace controls;

namespace {
constexpr QRect kFillBounds(121, 73, 575, 509);

QString utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void TForm1::buildDownloadPanel(QWidget* client) {
    Iesetpanel = panel(client, QStringLiteral("Iesetpanel"), QStringLiteral("下载"), kFillBounds);
    Iesetpanel->setProperty("alignClient", true);
    queueRows_ = new SongRowModel(
        {QString(), QStringLiteral("歌曲名"), QStringLiteral("下载地址"), QStringLiteral("大小"),
         QStringLiteral("类型"), QStringLiteral("保存地址")},
        &ImageList1, this);
    downloadlistview = reportList(Iesetpanel, QStringLiteral("downloadlistview"), queueRows_,
                                  QRect(6, 24, 563, 150));
    downloadlistview->setSelectionMode(QAbstractItemView::ExtendedSelection);

    downbtn = button(Iesetpanel, QStringLiteral("downbtn"), QStringLiteral("开始下载"),
                     QRect(6, 180, 96, 26));
    delbtn = button(Iesetpanel, QStringLiteral("delbtn"), QStringLiteral("删除所选项"),
                    QRect(108, 180, 96, 26));
    delallbtn = button(Iesetpanel, QStringLiteral("delallbtn"), QStringLiteral("清空列表"),
                       QRect(210, 180, 96, 26));
    SeSkinButton3 = button(Iesetpanel, QStringLiteral("SeSkinButton3"),
                           QStringLiteral("修改保存地址"), QRect(312, 180, 110, 26));

    downinimemo =
        memo(Iesetpanel, QStringLiteral("downinimemo"), QString(), QRect(6, 212, 563, 104));
    downinimemo->setProperty("logMemo", true);
    downinimemo->setReadOnly(true);
    downinimemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    SeSkinLabel2 = label(Iesetpanel, QStringLiteral("SeSkinLabel2"), QStringLiteral("下载进度"),
                         QRect(6, 320, 563, 18));
    SeSkinLabel2->setAlignment(Qt::AlignCenter);

    // Its rows are the download board's, which the download flow creates.
    progressRows_ = new ProgressModel(this);
    downloadnow = reportList(Iesetpanel, QStringLiteral("downloadnow"), progressRows_,
                             QRect(6, 340, 400, 162));
    for (int i = 0; i < 5; ++i) {
        workerBars.push_back(progressBar(Iesetpanel,
                                         QStringLiteral("SeSkinProgressBar%1").arg(i + 1),
                                         QRect(414, 348 + i * 31, 155, 18)));
    }
}

void TForm1::buildCardPanel(QWidget* client) {
    setpanel = panel(client, QStringLiteral("setpanel"), QStringLiteral("音乐贺卡"), kFillBounds);
    setpanel->setProperty("alignClient", true);
    setpanel->setToolTip(
        QStringLiteral("在搜索列表中双击某项变可添加到贺卡列表中，贺卡列表只能有一项 "));

    cardRows_ = new SongRowModel(resultColumns(), &ImageList1, this);
    cardlistview =
        reportList(setpanel, QStringLiteral("cardlistview"), cardRows_, QRect(6, 24, 471, 58));
    cardlistview->setProperty("gridLines", true);
    cancelbtn = button(setpanel, QStringLiteral("cancelbtn"), QStringLiteral("清空列表"),
                       QRect(483, 24, 86, 24));
    // The preview spans the panel, wider than a card's player, and shows the head of a card;
    // it scrolls with the mouse wheel, without scroll bars taking its room.
    label(setpanel, QStringLiteral("SeSkinLabel7"), QStringLiteral("预览"), QRect(6, 86, 60, 18));
    WebBrowser4 = new WebBrowser(setpanel, QStringLiteral("WebBrowser4"), ui_);
    WebBrowser4->view()->setGeometry(6, 104, 563, 156);
    WebBrowser4->addPageSetUp([](QWebEnginePage& page) {
        page.settings()->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    });

    SeSkinPanel2 = panel(setpanel, QStringLiteral("SeSkinPanel2"), QStringLiteral("贺卡内容"),
                         QRect(6, 266, 563, 237));
    nameedit = edit(SeSkinPanel2, QStringLiteral("nameedit"), QStringLiteral("标题"),
                    QRect(8, 26, 547, 24));
    iememo = memo(SeSkinPanel2, QStringLiteral("iememo"), QStringLiteral("内容"),
                  QRect(8, 56, 547, 100));
    iememo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    iememo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    SeSkinToolBar2 =
        toolBar(SeSkinPanel2, QStringLiteral("SeSkinToolBar2"), QRect(8, 162, 547, 29));
    // The ten tag buttons take their captions and hints from the card library's table. The
    // buttons stand closer than on the other tool bars, so that the font box shows a whole face.
    const std::pair<QToolButton**, const char*> tagButtons[] = {
        {&htmlrunbtn, "htmlrunbtn"}, {&h1btn, "h1btn"}, {&h2btn, "h2btn"},
        {&h3btn, "h3btn"},           {&h4btn, "h4btn"}, {&bigbtn, "bigbtn"},
        {&strongbtn, "strongbtn"},   {&ibtn, "ibtn"},   {&ubtn, "ubtn"},
        {&centrebtn, "centrebtn"},
    };
    int x = 2;
    for (const auto& [member, name] : tagButtons) {
        const card::Tag* tag = card::tagOfButton(name);
        *member = toolButton(SeSkinToolBar2, QString::fromLatin1(name), utf8(tag->caption),
                             utf8(tag->hint), QRect(x, 3, 24, 23));
        x += 25;
    }
    picbtn = toolButton(SeSkinToolBar2, QStringLiteral("picbtn"), QStringLiteral("图"),
                        QStringLiteral("背景图片"), QRect(x, 3, 24, 23));
    x += 25;
    backbtn = toolButton(SeSkinToolBar2, QStringLiteral("backbtn"), QStringLiteral("返"),
                         QStringLiteral("回溯"), QRect(x, 3, 24, 23));
    x += 25;
    colorcombox = dropDown(SeSkinToolBar2, QStringLiteral("colorcombox"), QRect(x + 2, 3, 71, 23));
    colorcombox->setToolTip(QStringLiteral("字体颜色"));
    for (const card::ColourEntry& entry : card::colourEntries())
        colorcombox->addItem(utf8(entry.name));
    colorcombox->setCurrentIndex(0);
    fontsizecombox =
        dropDown(SeSkinToolBar2, QStringLiteral("fontsizecombox"), QRect(x + 75, 3, 170, 23));
    fontsizecombox->setToolTip(QStringLiteral("字体类型"));
    fontsizecombox->addItems(ui::fontFaces());
    fontsizecombox->setCurrentIndex(0);
    // A pick leaves the keyboard focus in the box the user was writing in, as the tool buttons
    // do; the boxes are still reached with the Tab key.
    colorcombox->setFocusPolicy(Qt::TabFocus);
    fontsizecombox->setFocusPolicy(Qt::TabFocus);

    previewbtn = button(SeSkinPanel2, QStringLiteral("previewbtn"), QStringLiteral("预览"),
                        QRect(8, 199, 90, 28));
    cardsurebtn = button(SeSkinPanel2, QStringLiteral("cardsurebtn"), QStringLiteral("生成贺卡"),
                         QRect(104, 199, 90, 28));
    cardsurebtn->hide();
    iesetbtn = button(SeSkinPanel2, QStringLiteral("iesetbtn"), QStringLiteral("保存位置"),
                      QRect(104, 199, 90, 28));
}

}  // namespace melorin
