// What the window costs while nothing happens, at four moments: after start-up, after a 20-page
// search, after playing a song and after a card preview. At each: the RSS and PSS summed over
// the whole process tree (the program and the browser engine's processes), the number of
// processes, and the CPU ticks the tree uses over 10 idle seconds. With --reference the same
// for the floor of those steps done with bare Qt: a plain window, the same 20 pages fetched by
// a QNetworkAccessManager, a QMediaPlayer playing the same song, a plain page view showing a
// page with the same picture and player object.
//   bench_idle HOST:PORT [--reference]     (run by bench/idle-cost.sh)

#include <unistd.h>

#include <QApplication>
#include <QAudioOutput>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMediaPlayer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QWebEngineView>
#include <cstdio>
#include <map>

#include "app/browsercomponent.h"
#include "app/mainwindow.h"
#include "app/startup.h"
#include "app/webbrowser.h"
#include "player/nativeplayer.h"
#include "player/playbackcoordinator.h"
#include "tests/app/windowinside.h"
#include "ui/composition.h"
#include "ui/reportview.h"
#include "ui/skin.h"
#include "ui/uiport.h"

namespace {

constexpr int kSettleMs = 10000;
constexpr int kIdleMs = 10000;

struct ProcStat {
    int ppid = 0;
    long long ticks = 0;  // user + system
    long long rssKiB = 0;
};

bool readStat(int pid, ProcStat& out) {
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray line = f.readAll();
    // The command name is in parentheses and may hold blanks: fields start after the last ')'.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 22) return false;
    out.ppid = fields[1].toInt();
    out.ticks = fields[11].toLongLong() + fields[12].toLongLong();
    out.rssKiB = fields[21].toLongLong() * (sysconf(_SC_PAGESIZE) / 1024);
    return true;
}

// This process and all its descendants, by pid.
std::map<int, ProcStat> tree() {
    std::map<int, ProcStat> all;
    for (const QString& name : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const int pid = name.toInt(&number);
        ProcStat s;
        if (number && readStat(pid, s)) all[pid] = s;
    }
    std::map<int, ProcStat> mine;
    mine[getpid()] = all[getpid()];
    for (bool grew = true; grew;) {
        grew = false;
        for (const auto& [pid, s] : all) {
            if (!mine.count(pid) && mine.count(s.ppid)) {
                mine[pid] = s;
                grew = true;
            }
        }
    }
    return mine;
}

// Proportional set size: shared pages counted once across the tree, not once per process.
long long pssKiB(int pid) {
    QFile f(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("Pss:")) return line.mid(4).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

// Runs the event loop, sleeping while nothing happens, as the program's own loop does.
void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

template <typename F>
bool runUntil(F done, int limitMs) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > limitMs) return false;
        runFor(20);
    }
    return true;
}

// Ticks over `ms` of idle time; a process that started in between counts from zero.
long long idleTicks(int ms) {
    const auto before = tree();
    runFor(ms);
    long long ticks = 0;
    for (const auto& [pid, s] : tree()) {
        const auto it = before.find(pid);
        ticks += s.ticks - (it == before.end() ? 0 : it->second.ticks);
    }
    return ticks;
}

// One moment: settles, then measures memory and processes, then the idle ticks.
void report(const char* who, const char* moment) {
    runFor(kSettleMs);
    long long rss = 0;
    long long pss = 0;
    int renderers = 0;
    const auto processes = tree();
    for (const auto& [pid, s] : processes) {
        rss += s.rssKiB;
        pss += pssKiB(pid);
        // The engine's zygotes are this process's children; what they fork renders pages.
        if (s.ppid != getpid() && pid != getpid()) ++renderers;
    }
    const long long ticks = idleTicks(kIdleMs);
    std::printf(
        "%-20s %-28s RSS %4lld MiB  PSS %4lld MiB  %zu processes (%d renderer)  %lld ticks in 10 "
        "idle s\n",
        who, moment, rss / 1024, pss / 1024, processes.size(), renderers, ticks);
    std::fflush(stdout);
}

QString firstPage(const QString& host) {
    return QStringLiteral("http://%1/m?tn=baidump3&ct=134217728&rn=&word=%B8%E8&lm=0").arg(host);
}

QString song(const QString& host) {
    return QStringLiteral("http://%1/music/s01/000.mp3").arg(host);
}

// The same steps with bare Qt.
int reference(const QString& host) {
    const char* who = "bare Qt (reference)";
    QWidget window;
    window.resize(700, 600);
    window.show();
    report(who, "after start-up");

    QNetworkAccessManager network;
    for (int page = 0; page < 20; ++page) {
        const QString address = page == 0
                                    ? firstPage(host)
                                    : QStringLiteral(
                                          "http://%1/m?lm=0&ct=134217728&tn=baidump3&word=%B8%E8"
                                          "&pn=%2&ip=127.0.0.1&cl=3&z=0")
                                          .arg(host)
                                          .arg(30 + 30 * page);
        QNetworkReply* reply = network.get(QNetworkRequest(QUrl(address)));
        runUntil([reply] { return reply->isFinished(); }, 10000);
        reply->readAll();
        reply->deleteLater();
    }
    report(who, "after a 20-page search");

    QMediaPlayer media;
    QAudioOutput audio;
    media.setAudioOutput(&audio);
    media.setSource(QUrl(song(host)));
    media.play();
    runUntil([&] { return media.position() > 0; }, 15000);
    report(who, "after playing");

    QTemporaryDir dir;
    QFile page(dir.filePath(QStringLiteral("card.html")));
    if (!page.open(QIODevice::WriteOnly)) return 1;
    page.write(
        "<html><body><h1>Card</h1><object classid=\"clsid:22D6f312-B0F6-11D0-94AB-"
        "0080C74C7E95\" width=300 height=68></object></body></html>");
    page.close();
    QWebEngineView view(&window);
    view.resize(300, 200);
    view.show();
    bool loaded = false;
    QObject::connect(&view, &QWebEngineView::loadFinished, [&loaded] { loaded = true; });
    view.load(QUrl::fromLocalFile(page.fileName()));
    runUntil([&] { return loaded; }, 60000);
    report(who, "after a card preview");
    return 0;
}

int melorinWindow(QApplication& app, const QString& host) {
    const char* who = "melorin";
    melorin::configureApplication(app);
    melorin::ui::applySkins(app);
    QTemporaryDir dir;
    melorin::ui::DesktopUiPort ui;
    melorin::TForm1 form(ui, {dir.path(), host});
    form.show();
    report(who, "after start-up");

    inside(form).bar.Edit1->setText(QStringLiteral("歌"));
    inside(form).bar.Button1->click();
    // The search has ended when the browser has rested and the list stopped growing for 1 s.
    int rows = -1;
    QElapsedTimer still;
    still.start();
    runUntil(
        [&] {
            if (inside(form).results.WebBrowser1->isLoading() ||
                inside(form).results.ListView1->rowCount() != rows) {
                rows = inside(form).results.ListView1->rowCount();
                still.restart();
            }
            return still.elapsed() > 1000;
        },
        120000);
    std::printf("search: %d rows\n", inside(form).results.ListView1->rowCount());
    report(who, "after a 20-page search");

    inside(form).results.ListView1->selectRow(0);
    inside(form).play.SeSkinButton4->click();
    runUntil(
        [&] {
            const melorin::player::NativePlayer* p = inside(form).playback().current();
            return p != nullptr && p->position() > 0;
        },
        30000);
    report(who, "after playing");

    inside(form).play.dragcardbtn->click();
    inside(form).card.nameedit->setText(QStringLiteral("新年快乐"));
    inside(form).card.iememo->setPlainText(QStringLiteral("祝你万事如意"));
    bool shown = false;
    QObject::connect(inside(form).card.WebBrowser4, &melorin::BrowserComponent::DocumentComplete,
                     [&shown] { shown = true; });
    inside(form).card.previewbtn->click();
    runUntil([&] { return shown; }, 60000);
    report(who, "after a card preview");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The reference is Qt as it comes; Melorin composes as it does when started.
    const bool bareQt = argc > 2 && QByteArray(argv[2]) == "--reference";
    if (!bareQt) melorin::composition::chooseBeforeStart();
    QApplication app(argc, argv);
    if (!bareQt) melorin::composition::settleAfterStart();
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_idle HOST:PORT [--reference]\n");
        return 2;
    }
    const QString host = QString::fromLocal8Bit(argv[1]);
    if (bareQt) return reference(host);
    return melorinWindow(app, host);
}
