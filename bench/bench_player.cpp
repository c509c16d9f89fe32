// Online playing, offscreen against the local service:
// - from "在线播放" (the files written, the page loaded) to the first audio position > 0 of an
//   MP3, median of RUNS, beside a bare QMediaPlayer on the same stack;
// - CPU while an MP3 list plays for 10 s, this process and its web engine processes together,
//   beside gst-launch-1.0 playing the same file with the same decoders.
//   bench_player [RUNS]
#include <unistd.h>

#include <QApplication>
#include <QAudioOutput>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMediaPlayer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineView>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "player/nativeplayer.h"
#include "player/playbackcoordinator.h"
#include "player/playerpagehost.h"
#include "player/playerpages.h"
#include "servicerun.h"

using namespace melorin;
using namespace melorin::player;

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Runs the event loop until `done` holds (looked at every millisecond, without spinning) or
// `ms` pass; false on timeout.
template <typename F>
bool spinUntil(F done, int ms) {
    if (done()) return true;
    QEventLoop loop;
    QTimer check;
    QElapsedTimer t;
    t.start();
    bool ok = false;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        ok = done();
        if (ok || t.elapsed() > ms) loop.quit();
    });
    check.start(1);
    loop.exec();
    return ok;
}

// CPU seconds of this process (`self`) and every process below it, except the local service.
double treeCpuSeconds(double* self = nullptr) {
    const double tick = static_cast<double>(::sysconf(_SC_CLK_TCK));
    struct Proc {
        int pid, ppid;
        double cpu;
        QByteArray name;
    };
    std::vector<Proc> all;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const int pid = entry.toInt(&ok);
        if (!ok) continue;
        QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!f.open(QIODevice::ReadOnly)) continue;
        const QByteArray stat = f.readAll();
        const qsizetype close = stat.lastIndexOf(')');
        if (close < 0) continue;
        const QByteArray name = stat.mid(stat.indexOf('(') + 1, close - stat.indexOf('(') - 1);
        const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
        if (fields.size() < 13) continue;
        all.push_back(
            {pid, fields[1].toInt(), (fields[11].toDouble() + fields[12].toDouble()) / tick, name});
    }
    std::vector<int> tree = {static_cast<int>(::getpid())};
    double cpu = 0;
    for (std::size_t i = 0; i < tree.size(); ++i) {
        for (const Proc& p : all) {
            if (p.pid == tree[i]) cpu += p.name == "melorin-servic" ? 0 : p.cpu;
            if (p.pid == tree[i] && i == 0 && self) *self = p.cpu;
            if (p.ppid == tree[i]) tree.push_back(p.pid);
        }
    }
    return cpu;
}

struct Bench {
    testing::ServiceRun service;
    QTemporaryDir root;
    QString dir;
    PlaybackCoordinator coordinator;
    QWebEngineView view;
    PlayerPageHost* host = nullptr;

    std::string address(int song) const {
        char path[64];
        std::snprintf(path, sizeof path, "/music/s%02d/%03d.mp3", 1 + song % 50, song % 15);
        return "http://" + service.host().toStdString() + path;
    }

    // "在线播放" of `rows` as the window does it; the page's player once it sounds, or null.
    NativePlayer* play(const std::vector<core::SongRow>& rows, double* ms) {
        QElapsedTimer clock;
        clock.start();
        const OnlinePlayStep step = onlinePlay(dir.toStdString(), rows);
        if (!step.page || writePlayerFiles(dir.toStdString(), step.page->files)) return nullptr;
        host->setTitles(rows);
        view.load(QUrl::fromLocalFile(dir + QString::fromStdString(step.page->pageName)));
        NativePlayer* p = nullptr;
        const bool ok = spinUntil(
            [&] {
                const auto players = host->players();
                p = players.isEmpty() ? nullptr : players.first();
                return p && p->position() > 0;
            },
            15000);
        if (ms) *ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        return ok ? p : nullptr;
    }
};

core::SongRow mp3Row(const std::string& address) {
    return {core::RowShape::File, "1", 0, "bench", address, "1 M", "mp3"};
}

double bareStartMs(const QUrl& url) {
    QMediaPlayer media;
    QAudioOutput audio;
    media.setAudioOutput(&audio);
    QElapsedTimer clock;
    clock.start();
    media.setSource(url);
    media.play();
    if (!spinUntil([&] { return media.position() > 0; }, 15000)) return -1;
    const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    media.stop();
    return ms;
}

// CPU share of one core of gst-launch-1.0 playing `url` to its end.
double gstLaunchCpuPercent(const QString& url, double* wallS) {
    QProcess p;
    p.start(QStringLiteral("/usr/bin/time"),
            {QStringLiteral("-f"), QStringLiteral("%e %U %S"), QStringLiteral("gst-launch-1.0"),
             QStringLiteral("-q"), QStringLiteral("playbin"), QStringLiteral("uri=") + url});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return -1;
    const QList<QByteArray> f = p.readAllStandardError().trimmed().split('\n').last().split(' ');
    if (f.size() < 3) return -1;
    *wallS = f[0].toDouble();
    return *wallS > 0 ? 100.0 * (f[1].toDouble() + f[2].toDouble()) / *wallS : -1;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    if (::getuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;

    Bench b;
    if (!b.service.start()) {
        std::fprintf(stderr, "cannot start the service: %s\n", qPrintable(b.service.error()));
        return 1;
    }
    b.dir = b.root.path() + QStringLiteral("/Melorin bench/");
    QDir().mkpath(b.dir);
    b.view.resize(640, 160);
    b.view.show();
    b.host = new PlayerPageHost(b.view.page(), b.dir, b.coordinator);
    // The window's browser exists long before the first click: start its engine first.
    b.view.load(QUrl(QStringLiteral("about:blank")));
    spinUntil([] { return false; }, 1500);

    std::vector<double> melorinMs, bareMs;
    for (int i = 0; i < runs; ++i) {
        double ms = 0;
        NativePlayer* p = b.play({mp3Row(b.address(i))}, &ms);
        if (!p) {
            std::fprintf(stderr, "run %d: no position within 15 s\n", i + 1);
            return 1;
        }
        melorinMs.push_back(ms);
        p->stop();
        const double bare = bareStartMs(QUrl(QString::fromStdString(b.address(100 + i))));
        if (bare < 0) return 1;
        bareMs.push_back(bare);
    }
    std::printf(
        "start: \"在线播放\" to first position > 0 of an MP3, median of %d runs (goal < 300 ms)\n",
        runs);
    std::printf("  melorin page + native player : %7.1f ms  (min %.1f, max %.1f)\n",
                median(melorinMs), *std::min_element(melorinMs.begin(), melorinMs.end()),
                *std::max_element(melorinMs.begin(), melorinMs.end()));
    std::printf("  bare QMediaPlayer (reference): %7.1f ms\n", median(bareMs));

    // Three four-second songs in one list, measured over ten seconds of playing.
    NativePlayer* p =
        b.play({mp3Row(b.address(200)), mp3Row(b.address(201)), mp3Row(b.address(202))}, nullptr);
    if (!p) return 1;
    double self0 = 0, self1 = 0;
    const double cpu0 = treeCpuSeconds(&self0);
    QElapsedTimer wall;
    wall.start();
    {
        QEventLoop idle;  // nothing of the benchmark's own runs meanwhile
        QTimer::singleShot(10000, &idle, &QEventLoop::quit);
        idle.exec();
    }
    const double cpu = treeCpuSeconds(&self1) - cpu0;
    const double self = self1 - self0;
    const double wallS = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    const bool stillPlaying = p->state() == NativePlayer::State::Playing;
    p->stop();
    double gstWall = 0;
    const double gst = gstLaunchCpuPercent(QString::fromStdString(b.address(203)), &gstWall);
    std::printf("cpu: an MP3 list playing for %.1f s (goal < 3 %% of one core)\n", wallS);
    std::printf(
        "  melorin (program + web engine): %5.2f %% of one core (program %.2f %%, web engine "
        "%.2f %%)%s\n",
        100.0 * cpu / wallS, 100.0 * self / wallS, 100.0 * (cpu - self) / wallS,
        stillPlaying ? "" : "  (the list ended early)");
    if (gst >= 0) {
        std::printf("  gst-launch-1.0 playbin (ref.) : %5.2f %% of one core over %.1f s\n", gst,
                    gstWall);
    } else {
        std::printf("  gst-launch-1.0 playbin (ref.) : not run (gstreamer1.0-tools missing?)\n");
    }
    return 0;
}
