// The browser engine as the real window uses it, offscreen against the local service: no engine
// for a search, one renderer process for the player page and the card preview together.

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "app/mainwindow.h"
#include "app/songrowmodel.h"
#include "app/webbrowser.h"
#include "player/nativeplayer.h"
#include "player/playbackcoordinator.h"
#include "tests/app/guitestmain.h"
#include "tests/app/windowfixture.h"
#include "ui/reportview.h"

using melorin::TForm1;
using melorin::player::NativePlayer;
using melorin::testing::WindowFixture;

namespace {

constexpr int kLoadMs = 30000;

struct EngineProcesses {
    int all = 0;
    int renderers = 0;  // what the zygotes forked: their command line is the zygote's own
};

// The browser engine's processes below this one.
EngineProcesses engineProcesses() {
    QMap<int, int> parentOf;
    QMap<int, QByteArray> commandOf;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const int pid = entry.toInt(&number);
        if (!number) continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        QFile command(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (!stat.open(QIODevice::ReadOnly) || !command.open(QIODevice::ReadOnly)) continue;
        const QByteArray s = stat.readAll();
        parentOf[pid] = s.mid(s.lastIndexOf(')') + 2).split(' ').value(1).toInt();
        commandOf[pid] = command.readAll();
    }
    const auto isEngine = [&commandOf](int pid) {
        return commandOf.value(pid).contains("QtWebEngineProcess");
    };
    EngineProcesses found;
    for (auto it = commandOf.cbegin(); it != commandOf.cend(); ++it) {
        int up = it.key();
        while (up > 1 && up != ::getpid()) up = parentOf.value(up);
        if (up != ::getpid() || !isEngine(it.key())) continue;
        ++found.all;
        if (isEngine(parentOf.value(it.key()))) ++found.renderers;
    }
    return found;
}

}  // namespace

class TestEngineUse : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void engineOnlyForShownPages();

private:
    // Rows of the service's MP3 songs, played with "在线播放".
    NativePlayer* playSongs(int count);

    WindowFixture fx_;
    TForm1* form_ = nullptr;
};

void TestEngineUse::initTestCase() {
    QVERIFY2(fx_.startService(), qPrintable(fx_.serviceError()));
}

void TestEngineUse::init() {
    form_ = &fx_.createWindow();
    QVERIFY(fx_.showWindow());
}

void TestEngineUse::cleanup() {
    fx_.closeWindow();
}

NativePlayer* TestEngineUse::playSongs(int count) {
    std::vector<melorin::core::SongRow> rows;
    for (int i = 0; i < count; ++i) {
        rows.push_back(melorin::testing::fileRow(QString::number(i + 1), QStringLiteral("月下听风"),
                                                 QStringLiteral("http://%1/music/s%2/000.mp3")
                                                     .arg(fx_.serviceHost())
                                                     .arg(i + 1, 2, 10, QChar(u'0')),
                                                 QStringLiteral("3.5 M"), QStringLiteral("mp3")));
    }
    QList<int> all;
    for (int i = 0; i < count; ++i) all << i;
    fx_.offer(rows, all);
    QTest::mouseClick(form_->SeSkinButton4, Qt::LeftButton);
    NativePlayer* p = nullptr;
    if (!QTest::qWaitFor(
            [&] { return (p = form_->playback().current()) != nullptr && p->position() > 0; },
            kLoadMs))
        return nullptr;
    return p;
}

void TestEngineUse::engineOnlyForShownPages() {
    const WId window = form_->winId();
    fx_.search(QStringLiteral("月下听风"), 0);
    QVERIFY(fx_.stepUntil([&] { return form_->ListView1->rowCount() >= 30; }, kLoadMs));
    QVERIFY(fx_.stepUntil([&] { return !form_->WebBrowser1->isLoading(); }, kLoadMs));
    QCOMPARE(engineProcesses().all, 0);
    QVERIFY(form_->WebBrowser3->engineView() == nullptr);

    // The first page shown starts the engine, in the window as it was.
    QVERIFY(playSongs(1) != nullptr);
    QCOMPARE(engineProcesses().renderers, 1);
    QCOMPARE(form_->winId(), window);

    // The card preview renders in the same process.
    form_->ListView1->selectRow(0);
    QTest::mouseClick(form_->dragcardbtn, Qt::LeftButton);
    form_->nameedit->setText(QStringLiteral("新年快乐"));
    QSignalSpy shown(form_->WebBrowser4, &melorin::WebBrowser::DocumentComplete);
    QTest::mouseClick(form_->previewbtn, Qt::LeftButton);
    QVERIFY(shown.wait(kLoadMs));
    QVERIFY(form_->WebBrowser4->Document() != nullptr);
    QCOMPARE(engineProcesses().renderers, 1);
    QCOMPARE(form_->winId(), window);
}

MELORIN_GUI_TEST_MAIN(TestEngineUse)
#include "test_engine_use.moc"
