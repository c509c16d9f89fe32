// Every caption, hint and column text of the main window, against the texts the window must show;
// Qt's own texts in Chinese too, under the C locale (the test runs with LC_ALL=C).

#include <QAbstractButton>
#include <QComboBox>
#include <QFileDialog>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineView>

#include "app/logtime.h"
#include "app/mainwindow.h"
#include "app/webbrowser.h"
#include "tests/app/guitestmain.h"
#include "tests/app/recordingui.h"
#include "tests/app/windowinside.h"
#include "ui/reportview.h"
#include "ui/uiport.h"

using melorin::TForm1;

namespace {
// What a control shows as its caption or text.
QString captionOf(QWidget* w) {
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    if (auto* m = qobject_cast<QPlainTextEdit*>(w)) return m->toPlainText();
    if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentText();
    if (auto* f = qobject_cast<QFrame*>(w)) return f->accessibleName();
    return {};
}

QStringList columnsOf(melorin::ui::ReportView* v) {
    QStringList c;
    for (int i = 0; i < v->columnCount(); ++i) c << v->columnCaption(i);
    return c;
}
}  // namespace

class TestMainWindowTexts : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase() { delete form_; }
    void captionAndHint_data();
    void captionAndHint();
    void columns_data();
    void columns();
    void boxItems();
    void qtTextsAreChineseUnderTheCLocale();

private:
    QTemporaryDir dir_;
    melorin::testing::RecordingUi ui_;
    TForm1* form_ = nullptr;
    [[nodiscard]] melorin::testing::WindowInside win() const { return inside(*form_); }
};

void TestMainWindowTexts::initTestCase() {
    form_ = new TForm1(ui_, {dir_.path(), {}});
}

void TestMainWindowTexts::captionAndHint_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("hint");
    const char16_t* rows[][3] = {
        {u"SeSkinComboBox2", u"默认mp3搜索引擎", u""},
        {u"SeSkinComboBox1", u"MP3", u""},
        {u"Edit1", u"", u"请输入歌手名或歌曲名,然后点击搜索键"},
        {u"Button1", u"搜索", u""},
        {u"SeSkinButton1", u"保存目录", u""},
        {u"SeSkinLabel1", u"搜索进度", u""},
        {u"SeSkinSpeedButton2", u"刷", u"刷新搜索结果"},
        {u"stopbtn", u"停", u"停止搜索"},
        {u"manlistbtn", u"男", u"男歌手列表"},
        {u"womanlistbtn", u"女", u"女歌手列表"},
        {u"SeSkinSpeedButton1", u"辑", u"显示相关专辑"},
        {u"musiclist", u"歌", u"歌曲列表"},
        {u"singerlistbtn", u"全", u""},
        {u"resultlabel", u"搜索结果为:", u""},
        {u"Panel2", u"功能选项", u""},
        {u"Button3", u"在线听歌", u""},
        {u"Button4", u"下载", u""},
        {u"Button5", u"音乐贺卡", u""},
        {u"ListView1", u"", u"请按下ctrl,或者shift进行多选"},
        {u"dragplaybtn", u"播", u"搜索栏所选项保存到播放列表，点击\u2018唱'进行播放"},
        {u"dragdownbtn", u"下", u"搜索栏所选项保存到下载列表，点击\u2018下载'进行下载"},
        {u"dragcardbtn", u"卡", u"搜索栏所选项保存到音乐贺卡列表，点击\u2018音乐贺卡'进行编辑"},
        {u"playdelbtn", u"删", u"删除档前播放列表所选项"},
        {u"playclear", u"清", u"清空当前播放列表"},
        {u"playsavebtn", u"存", u"保存当前播放列表"},
        {u"playloadbtn", u"装", u"装载播放列表"},
        {u"SeSkinButton4", u"在线播放", u"播放当前列表"},
        {u"playnowbtn", u"唱", u"播放当前列表"},
        {u"SeSkinLabel4", u"正在装载播放器，清稍侯.......", u""},
        {u"Iesetpanel", u"下载", u""},
        {u"downbtn", u"开始下载", u""},
        {u"delbtn", u"删除所选项", u""},
        {u"delallbtn", u"清空列表", u""},
        {u"SeSkinButton3", u"修改保存地址", u""},
        {u"downinimemo", u"", u""},
        {u"SeSkinLabel2", u"下载进度", u""},
        {u"setpanel", u"音乐贺卡",
         u"在搜索列表中双击某项变可添加到贺卡列表中，贺卡列表只能有一项 "},
        {u"cancelbtn", u"清空列表", u""},
        {u"SeSkinPanel2", u"贺卡内容", u""},
        {u"nameedit", u"标题", u""},
        {u"iememo", u"内容", u""},
        {u"htmlrunbtn", u"跑", u"跑马灯效果"},
        {u"h1btn", u"1", u"一号字"},
        {u"h2btn", u"2", u"二号字"},
        {u"h3btn", u"3", u"三号字"},
        {u"h4btn", u"4", u"四号字"},
        {u"bigbtn", u"大", u"增大"},
        {u"strongbtn", u"重", u"加粗"},
        {u"ibtn", u"斜", u"斜体"},
        {u"ubtn", u"底", u"底纹"},
        {u"centrebtn", u"中", u"居中"},
        {u"picbtn", u"图", u"背景图片"},
        {u"backbtn", u"返", u"回溯"},
        {u"colorcombox", u"clBlack", u"字体颜色"},
        {u"previewbtn", u"预览", u""},
        {u"cardsurebtn", u"生成贺卡", u""},
        {u"iesetbtn", u"保存位置", u""},
        {u"Edit2", u"5", u""},
        {u"threedit", u"15", u""},
    };
    for (const auto& r : rows) {
        const QString name = QString::fromUtf16(r[0]);
        QTest::newRow(qPrintable(name))
            << name << QString::fromUtf16(r[1]) << QString::fromUtf16(r[2]);
    }
}

void TestMainWindowTexts::captionAndHint() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, hint);
    auto* w = form_->findChild<QWidget*>(name);
    QVERIFY2(w != nullptr, qPrintable(name));
    QCOMPARE(captionOf(w), caption);
    QCOMPARE(w->toolTip(), hint);
}

void TestMainWindowTexts::columns_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("expected");
    const QStringList result{QString(), QStringLiteral("歌手名"), QStringLiteral("下载地址"),
                             QStringLiteral("大小"), QStringLiteral("类型")};
    QTest::newRow("ListView1") << QStringLiteral("ListView1") << result;
    QTest::newRow("playListView") << QStringLiteral("playListView") << result;
    QTest::newRow("cardlistview") << QStringLiteral("cardlistview") << result;
    QTest::newRow("downloadlistview") << QStringLiteral("downloadlistview")
                                      << QStringList{QString(),
                                                     QStringLiteral("歌曲名"),
                                                     QStringLiteral("下载地址"),
                                                     QStringLiteral("大小"),
                                                     QStringLiteral("类型"),
                                                     QStringLiteral("保存地址")};
    QTest::newRow("downloadnow") << QStringLiteral("downloadnow")
                                 << QStringList{QStringLiteral("歌曲名称"), QStringLiteral("进度"),
                                                QStringLiteral("时间"), QStringLiteral("相应序列")};
}

void TestMainWindowTexts::columns() {
    QFETCH(QString, name);
    QFETCH(QStringList, expected);
    auto* v = form_->findChild<melorin::ui::ReportView*>(name);
    QVERIFY(v != nullptr);
    QCOMPARE(columnsOf(v), expected);
}

void TestMainWindowTexts::boxItems() {
    QStringList kinds;
    for (int i = 0; i < win().bar.SeSkinComboBox1->count(); ++i)
        kinds << win().bar.SeSkinComboBox1->itemText(i);
    QCOMPARE(kinds,
             (QStringList{QStringLiteral("MP3"), QStringLiteral("RM"), QStringLiteral("WMA"),
                          QStringLiteral("ASF"), QStringLiteral("RAM"), QStringLiteral("FLASH")}));
    QCOMPARE(win().card.colorcombox->count(), 49);
    QCOMPARE(win().card.colorcombox->itemText(19), QStringLiteral("clMedGray"));
    QCOMPARE(win().card.colorcombox->itemText(48), QStringLiteral("clWindowText"));
    QVERIFY(win().card.fontsizecombox->count() > 0);
    QCOMPARE(win().card.fontsizecombox->currentIndex(), 0);
    QCOMPARE(win().downloads.workerBars.size(), 5);
    QCOMPARE(win().downloads.workerBars[4]->objectName(), QStringLiteral("SeSkinProgressBar5"));
    QVector<int> widths;
    for (QLabel* p : win().status.statusPanels) widths << p->width();
    QCOMPARE(widths, (QVector<int>{150, 100, 80, 50}));
    QCOMPARE(win().bar.SeSkinProgressBar6->width(), 232);
    QCOMPARE(win().bar.SeSkinToolBar1->geometry(), QRect(3, 40, 689, 29));
    QCOMPARE(win().play.SeSkinToolBar3->geometry(), QRect(0, 24, 575, 29));
    QCOMPARE(win().results.WebBrowser1->view()->size(), QSize(24, 24));
}

void TestMainWindowTexts::qtTextsAreChineseUnderTheCLocale() {
    QCOMPARE(QLocale::system().language(), QLocale::C);
    // A question's buttons.
    const auto box = melorin::ui::makeMessageBox(form_, melorin::ui::BoxKind::YesNoWarning,
                                                 QStringLiteral("还存在下载进程，确定退出吗？"));
    QCOMPARE(box->button(QMessageBox::Yes)->text().remove(QStringLiteral("(&Y)")),
             QStringLiteral("是"));
    QCOMPARE(box->button(QMessageBox::No)->text().remove(QStringLiteral("(&N)")),
             QStringLiteral("否"));
    // A save dialog as the user sees it: its labels and buttons, read while it is open.
    QStringList texts;
    QTimer::singleShot(0, this, [&texts] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog != nullptr);
        for (QLabel* l : dialog->findChildren<QLabel*>()) texts << l->text();
        for (QAbstractButton* b : dialog->findChildren<QPushButton*>()) texts << b->text();
        dialog->reject();
    });
    melorin::ui::DesktopUiPort port;
    QVERIFY(port.saveFileName(form_, QStringLiteral("另存为"), QStringLiteral("列表.asx"),
                              QStringLiteral("winmedia播放列表(*.asf) (*.asf)"))
                .isEmpty());
    const QString all = texts.join(u'|');
    for (const QString& chinese :
         {QStringLiteral("查找范围"), QStringLiteral("文件名称"), QStringLiteral("文件类型"),
          QStringLiteral("保存"), QStringLiteral("取消")})
        QVERIFY2(all.contains(chinese), qPrintable(all));
    QVERIFY2(!all.contains(QStringLiteral("Look in")) && !all.contains(QStringLiteral("Cancel")),
             qPrintable(all));
    // Dates in the log: the Chinese short form.
    const QDateTime when(QDate(2026, 12, 8), QTime(18, 10, 33));
    QCOMPARE(melorin::completionDateTime(when, QLocale()), QStringLiteral("2026/12/8 18:10:33"));
}

MELORIN_GUI_TEST_MAIN(TestMainWindowTexts)
#include "test_mainwindow_texts.moc"
