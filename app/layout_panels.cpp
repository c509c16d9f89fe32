// The download panel and the card panel; both fill the client area beside the function panel.

#include <QComboBox>
#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QWebEngineView>
#include <algorithm>

#include "app/controls.h"
#include "app/mainwindow.h"
#include "app/webbrowser.h"
#include "ui/reportview.h"
#include "ui/skin.h"

namespace melorin {

using namespace controls;

namespace {
constexpr QRect kFillBounds(121, 73, 575, 509);

const char* const kColourNames[] = {
    "clBlack", "clMaroon", "clGreen", "clOlive", "clNavy", "clPurple", "clTeal", "clGray",
    "clSilver", "clRed", "clLime", "clYellow", "clBlue", "clFuchsia", "clAqua", "clWhite",
    "clMoneyGreen", "clSkyBlue", "clCream", "clMedGray", "clActiveBorder", "clActiveCaption",
    "clAppWorkSpace", "clBackground", "clBtnFace", "clBtnHighlight", "clBtnShadow", "clBtnText",
    "clCaptionText", "clDefault", "clGradientActiveCaption", "clGradientInactiveCaption",
    "clGrayText", "clHighlight", "clHighlightText", "clInactiveBorder", "clInactiveCaption",
    "clInactiveCaptionText", "clInfoBk", "clInfoText", "clMenu", "clMenuText", "clNone",
    "clScrollBar", "cl3DDkShadow", "cl3DLight", "clWindow", "clWindowFrame", "clWindowText"};

// The display's font families with their vertical-writing variants ("@" + family), by name.
QStringList fontFaces() {
    QStringList faces;
    for (QString f : QFontDatabase::families()) {
        // Families that several foundries make come as "Name [Foundry]"; the face is the name.
        const qsizetype bracket = f.indexOf(QStringLiteral(" ["));
        if (bracket > 0) f.truncate(bracket);
        faces << f << (u'@' + f);
    }
    std::sort(faces.begin(), faces.end());
    faces.erase(std::unique(faces.begin(), faces.end()), faces.end());
    return faces;
}
}  // namespace

void TForm1::buildDownloadPanel(QWidget* client) {
    Iesetpanel = panel(client, QStringLiteral("Iesetpanel"), QStringLiteral("下载"), kFillBounds);
    Iesetpanel->setProperty("alignClient", true);
    downloadlistview = reportList(
        Iesetpanel, QStringLiteral("downloadlistview"),
        {QString(), QStringLiteral("歌曲名"), QStringLiteral("下载地址"), QStringLiteral("大小"),
         QStringLiteral("类型"), QStringLiteral("保存地址")},
        QRect(6, 24, 563, 150));
    downloadlistview->setSelectionMode(QAbstractItemView::ExtendedSelection);
    downloadlistview->setKindIcons(&ImageList1);

    downbtn = button(Iesetpanel, QStringLiteral("downbtn"), QStringLiteral("开始下载"), QRect(6, 180, 96, 26));
    delbtn = button(Iesetpanel, QStringLiteral("delbtn"), QStringLiteral("删除所选项"), QRect(108, 180, 96, 26));
    delallbtn = button(Iesetpanel, QStringLiteral("delallbtn"), QStringLiteral("清空列表"), QRect(210, 180, 96, 26));
    SeSkinButton3 = button(Iesetpanel, QStringLiteral("SeSkinButton3"), QStringLiteral("修改保存地址"),
                           QRect(312, 180, 110, 26));

    downinimemo = memo(Iesetpanel, QStringLiteral("downinimemo"), QString(), QRect(6, 212, 563, 104));
    downinimemo->setProperty("logMemo", true);
    downinimemo->setReadOnly(true);
    downinimemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    SeSkinLabel2 = label(Iesetpanel, QStringLiteral("SeSkinLabel2"), QStringLiteral("下载进度"),
                         QRect(6, 320, 563, 18));
    SeSkinLabel2->setAlignment(Qt::AlignCenter);

    downloadnow = reportList(Iesetpanel, QStringLiteral("downloadnow"),
                             {QStringLiteral("歌曲名称"), QStringLiteral("进度"), QStringLiteral("时间"),
                              QStringLiteral("相应序列")},
                             QRect(6, 340, 400, 162));
    for (int i = 0; i < 5; ++i) {
        workerBars.push_back(progressBar(Iesetpanel, QStringLiteral("SeSkinProgressBar%1").arg(i + 1),
                                         QRect(414, 348 + i * 31, 155, 18)));
    }
}

void TForm1::buildCardPanel(QWidget* client) {
    setpanel = panel(client, QStringLiteral("setpanel"), QStringLiteral("音乐贺卡"), kFillBounds);
    setpanel->setProperty("alignClient", true);
    setpanel->setToolTip(QStringLiteral("在搜索列表中双击某项变可添加到贺卡列表中，贺卡列表只能有一项 "));

    cardlistview = reportList(setpanel, QStringLiteral("cardlistview"), resultColumns(),
                              QRect(6, 24, 300, 112));
    cardlistview->setKindIcons(&ImageList1);
    cancelbtn = button(setpanel, QStringLiteral("cancelbtn"), QStringLiteral("清空列表"), QRect(6, 140, 86, 24));
    label(setpanel, QStringLiteral("SeSkinLabel7"), QStringLiteral("预览"), QRect(314, 22, 60, 18));
    WebBrowser4 = new WebBrowser(setpanel, QStringLiteral("WebBrowser4"), ui_);
    WebBrowser4->view()->setGeometry(314, 42, 255, 122);

    SeSkinPanel2 = panel(setpanel, QStringLiteral("SeSkinPanel2"), QStringLiteral("贺卡内容"),
                         QRect(6, 170, 563, 333));
    nameedit = edit(SeSkinPanel2, QStringLiteral("nameedit"), QStringLiteral("标题"), QRect(8, 26, 547, 24));
    iememo = memo(SeSkinPanel2, QStringLiteral("iememo"), QStringLiteral("内容"), QRect(8, 56, 547, 196));
    iememo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    iememo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    SeSkinToolBar2 = toolBar(SeSkinPanel2, QStringLiteral("SeSkinToolBar2"), QRect(8, 258, 547, 29));
    struct Tool {
        const char* name;
        const char16_t* caption;
        const char16_t* hint;
    };
    const Tool tools[] = {
        {"htmlrunbtn", u"跑", u"跑马灯效果"}, {"h1btn", u"1", u"一号字"}, {"h2btn", u"2", u"二号字"},
        {"h3btn", u"3", u"三号字"},          {"h4btn", u"4", u"四号字"}, {"bigbtn", u"大", u"增大"},
        {"strongbtn", u"重", u"加粗"},        {"ibtn", u"斜", u"斜体"},   {"ubtn", u"底", u"底纹"},
        {"centrebtn", u"中", u"居中"},        {"picbtn", u"图", u"背景图片"}, {"backbtn", u"返", u"回溯"},
    };
    int x = 3;
    for (const Tool& t : tools) {
        toolButton(SeSkinToolBar2, QString::fromLatin1(t.name), QString::fromUtf16(t.caption),
                   QString::fromUtf16(t.hint), QRect(x, 3, 25, 23));
        x += 27;
    }
    colorcombox = dropDown(SeSkinToolBar2, QStringLiteral("colorcombox"), QRect(x + 4, 3, 100, 23));
    colorcombox->setToolTip(QStringLiteral("字体颜色"));
    for (const char* c : kColourNames) colorcombox->addItem(QString::fromLatin1(c));
    colorcombox->setCurrentIndex(0);
    fontsizecombox = dropDown(SeSkinToolBar2, QStringLiteral("fontsizecombox"), QRect(x + 108, 3, 112, 23));
    fontsizecombox->setToolTip(QStringLiteral("字体类型"));
    fontsizecombox->addItems(fontFaces());
    fontsizecombox->setCurrentIndex(0);

    previewbtn = button(SeSkinPanel2, QStringLiteral("previewbtn"), QStringLiteral("预览"), QRect(8, 295, 90, 28));
    cardsurebtn = button(SeSkinPanel2, QStringLiteral("cardsurebtn"), QStringLiteral("生成贺卡"), QRect(104, 295, 90, 28));
    cardsurebtn->hide();
    iesetbtn = button(SeSkinPanel2, QStringLiteral("iesetbtn"), QStringLiteral("保存位置"), QRect(104, 295, 90, 28));
}

}  // namespace melorin
