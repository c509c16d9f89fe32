// What the window costs while nothing happens: the memory of the whole process tree (the
// program and the browser engine's processes) after start-up and after a first search, and the
// CPU ticks that tree uses over 10 idle seconds. With --reference the same figures for the
// floor of the engine: one plain page view that loads the same first result page.
//   bench_idle HOST:PORT [--reference]     (run by bench/idle-cost.sh)

#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineView>
#include <cstdio>
#include <map>
#include <vector>

#include "app/mainwindow.h"
#include "app/startup.h"
#include "app/webbrowser.h"
#include "tests/app/windowinside.h"
#include "ui/reportview.h"
#include "ui/skin.h"
#include "ui/uiport.h"

namespace {

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

struct Memory {
    long long rssMiB = 0;
    long long pssMiB = 0;
};

Memory treeMemory() {
    Memory m;
    for (const auto& [pid, s] : tree()) {
        m.rssMiB += s.rssKiB;
        m.pssMiB += pssKiB(pid);
    }
    m.rssMiB /= 1024;
    m.pssMiB /= 1024;
    return m;
}

// Runs the event loop, sleeping while nothing happens, as the program's own loop does.
void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
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

void report(const char* who, Memory start, long long ticks, Memory searched, long long ticksAfter) {
    std::printf(
        "%s: tree RSS %lld MiB (PSS %lld) after start-up, %lld CPU ticks in 10 idle s; "
        "after a first search RSS %lld MiB (PSS %lld), %lld ticks in 10 idle s "
        "(%ld ticks/s)\n",
        who, start.rssMiB, start.pssMiB, ticks, searched.rssMiB, searched.pssMiB, ticksAfter,
        sysconf(_SC_CLK_TCK));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_idle HOST:PORT [--reference]\n");
        return 2;
    }
    const QString host = QString::fromLocal8Bit(argv[1]);
    const bool reference = argc > 2 && QByteArray(argv[2]) == "--reference";
    constexpr int kSettleMs = 10000;
    constexpr int kIdleMs = 10000;

    if (reference) {
        QWebEngineView view;
        view.resize(700, 600);
        view.show();
        runFor(kSettleMs);
        const Memory rss0 = treeMemory();
        const long long ticks0 = idleTicks(kIdleMs);
        bool done = false;
        QObject::connect(&view, &QWebEngineView::loadFinished, [&done] { done = true; });
        view.load(QUrl(
            QStringLiteral("http://%1/m?tn=baidump3&ct=134217728&rn=&word=%B8%E8&lm=0").arg(host)));
        QElapsedTimer t;
        t.start();
        while (!done && t.elapsed() < 60000) runFor(50);
        runFor(kSettleMs);
        report("one plain page view", rss0, ticks0, treeMemory(), idleTicks(kIdleMs));
        return 0;
    }

    melorin::configureApplication(app);
    melorin::ui::applySkins(app);
    QTemporaryDir dir;
    melorin::ui::DesktopUiPort ui;
    melorin::TForm1 form(ui, {dir.path(), host});
    form.show();
    runFor(kSettleMs);
    const Memory rss0 = treeMemory();
    const long long ticks0 = idleTicks(kIdleMs);
    inside(form).bar.Edit1->setText(QStringLiteral("歌"));
    inside(form).bar.Button1->click();
    // The search has ended when the browser has rested and the list stopped growing for 1 s.
    QElapsedTimer t;
    t.start();
    int rows = -1;
    QElapsedTimer still;
    still.start();
    while (t.elapsed() < 120000) {
        runFor(50);
        if (inside(form).results.WebBrowser1->isLoading() ||
            inside(form).results.ListView1->rowCount() != rows) {
            rows = inside(form).results.ListView1->rowCount();
            still.restart();
        } else if (still.elapsed() > 1000) {
            break;
        }
    }
    runFor(kSettleMs);
    std::printf("search: %d rows\n", inside(form).results.ListView1->rowCount());
    report("melorin", rss0, ticks0, treeMemory(), idleTicks(kIdleMs));
    return 0;
}
