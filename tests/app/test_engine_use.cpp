// The browser engine as the real window uses it, offscreen against the local service: no engine
// for a search, one renderer process for the player page and the card preview together, and a
// player face that rests while nobody can see it.

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <algorithm>

#include "app/mainwindow.h"
#include "app/songrowmodel.h"
#include "app/webbrowser.h"
#include "player/nativeplayer.h"
#include "player/playbackcoordinator.h"
#include "tests/app/guitestmain.h"
#include "tests/app/pagescript.h"
#include "tests/app/windowfixture.h"
#include "tests/app/windowinside.h"
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

QString clock(qint64 ms) {
    const qint64 s = ms / 1000;
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QChar(u'0'));
}

}  // namespace

class TestEngineUse : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void engineOnlyForShownPages();
    void playerFaceRestsWhileUnseen_data();
    void playerFaceRestsWhileUnseen();

private:
    // Rows of the service's MP3 songs, played with "在线播放".
    NativePlayer* playSongs(int count);
    // The time the play panel's face shows ("0:03 / 0:04"), empty before it shows one.
    QString faceTime();
    bool faceShowsPlayer(const NativePlayer& p);

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
    QTest::mouseClick(inside(*form_).play.SeSkinButton4, Qt::LeftButton);
    NativePlayer* p = nullptr;
    if (!QTest::qWaitFor(
            [&] {
                return (p = inside(*form_).playback().current()) != nullptr && p->position() > 0;
            },
            kLoadMs))
        return nullptr;
    return p;
}

// The face hears of a new second a moment after the player has it: a face up to a quarter second
// behind counts as showing the player's time. A face left behind while unseen is more than a
// second behind.
bool TestEngineUse::faceShowsPlayer(const NativePlayer& p) {
    const QString face = faceTime();
    const qint64 now = p.position();
    return face.startsWith(clock(now)) || face.startsWith(clock(std::max<qint64>(0, now - 250)));
}

QString TestEngineUse::faceTime() {
    return melorin::testing::runScript(
               *inside(*form_).play.WebBrowser3->engineView()->page(),
               QStringLiteral("(document.querySelector('.mp-time') || {}).textContent || ''"))
        .toString();
}

void TestEngineUse::engineOnlyForShownPages() {
    const WId window = form_->winId();
    fx_.search(QStringLiteral("月下听风"), 0);
    QVERIFY(
        fx_.stepUntil([&] { return inside(*form_).results.ListView1->rowCount() >= 30; }, kLoadMs));
    QVERIFY(
        fx_.stepUntil([&] { return !inside(*form_).results.WebBrowser1->isLoading(); }, kLoadMs));
    QCOMPARE(engineProcesses().all, 0);
    QVERIFY(inside(*form_).play.WebBrowser3->engineView() == nullptr);

    // The first page shown starts the engine, in the window as it was.
    QVERIFY(playSongs(1) != nullptr);
    QCOMPARE(engineProcesses().renderers, 1);
    QCOMPARE(form_->winId(), window);

    // The card preview renders in the same process.
    inside(*form_).results.ListView1->selectRow(0);
    QTest::mouseClick(inside(*form_).play.dragcardbtn, Qt::LeftButton);
    inside(*form_).card.nameedit->setText(QStringLiteral("新年快乐"));
    QSignalSpy shown(inside(*form_).card.WebBrowser4, &melorin::WebBrowser::DocumentComplete);
    QTest::mouseClick(inside(*form_).card.previewbtn, Qt::LeftButton);
    QVERIFY(shown.wait(kLoadMs));
    QVERIFY(inside(*form_).card.WebBrowser4->Document() != nullptr);
    QCOMPARE(engineProcesses().renderers, 1);
    QCOMPARE(form_->winId(), window);
}

void TestEngineUse::playerFaceRestsWhileUnseen_data() {
    QTest::addColumn<QString>("away");
    QTest::newRow("minimised") << QStringLiteral("SkinMinimizeButton");
    QTest::newRow("in the tray (or minimised without one)") << QStringLiteral("SkinTrayButton");
    QTest::newRow("download view") << QStringLiteral("Button4");
    QTest::newRow("card view") << QStringLiteral("Button5");
}

void TestEngineUse::playerFaceRestsWhileUnseen() {
    QFETCH(QString, away);
    NativePlayer* p = playSongs(6);  // four seconds each
    QVERIFY(p != nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(faceShowsPlayer(*p), kLoadMs);

    auto* button = form_->findChild<QAbstractButton*>(away);
    QVERIFY(button != nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
    // Once the change has been taken (a question to the page goes after any news already on
    // its way), the face holds still while the player goes on.
    faceTime();
    const QString held = faceTime();
    const qint64 from = p->position();
    const int entry = p->entryIndex();
    QTRY_VERIFY_WITH_TIMEOUT(p->position() > from + 1500 || p->entryIndex() != entry, kLoadMs);
    QCOMPARE(faceTime(), held);

    // Back in sight, it catches up at once.
    if (away.startsWith(QStringLiteral("Skin"))) {
        form_->restoreWindow();  // what the tray menu's and the taskbar's "还原" do
    } else {
        QTest::mouseClick(inside(*form_).functions.Button3, Qt::LeftButton);
    }
    QTRY_VERIFY_WITH_TIMEOUT(faceShowsPlayer(*p), 5000);
}

MELORIN_GUI_TEST_MAIN(TestEngineUse)
#include "test_engine_use.moc"
