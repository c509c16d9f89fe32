// Online playing in the real window, offscreen against the local service:
// - from a click on "在线播放" (the selection added, the files written, the page loaded in
//   WebBrowser3) to the first audio position > 0 of an MP3, median of RUNS (a different song
//   each run), beside a bare QMediaPlayer on the same stack;
// - CPU while a list of MP3s plays, this process and its web engine processes together, with
//   the window shown and minimised, beside the window at rest, a bare QMediaPlayer playing
//   songs one after the other in this process and gst-launch-1.0 playing one with the same
//   decoders.
//   bench_player [RUNS]
#include <unistd.h>

#include <QAudioOutput>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMediaPlayer>
#include <QProcess>
#include <QPushButton>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/mainwindow.h"
#include "app/songrowmodel.h"
#include "bench/windowbench.h"
#include "player/nativeplayer.h"
#include "player/playbackcoordinator.h"
#include "tests/app/windowinside.h"
#include "ui/reportview.h"

using namespace melorin;
using namespace melorin::player;
using namespace melorin::bench;

namespace {

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

constexpr int kSettleMs = 3000;
constexpr int kMeasureMs = 10000;

struct CpuShare {
    double total = 0;    // percent of one core: the program and its web engine processes
    double program = 0;  // the program alone
    double wallS = 0;
};

// The CPU share over `ms` of the event loop running with nothing of the benchmark's own.
CpuShare cpuOver(int ms) {
    double self0 = 0, self1 = 0;
    const double cpu0 = treeCpuSeconds(&self0);
    QElapsedTimer wall;
    wall.start();
    QEventLoop idle;
    QTimer::singleShot(ms, &idle, &QEventLoop::quit);
    idle.exec();
    const double cpu = treeCpuSeconds(&self1) - cpu0;
    CpuShare share;
    share.wallS = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    share.total = 100.0 * cpu / share.wallS;
    share.program = 100.0 * (self1 - self0) / share.wallS;
    return share;
}

// "在线播放" on `songs` (MP3 rows put into the result list and selected), clicked in the
// window; the play panel's player once its position passes 0, or null.
NativePlayer* clickOnlinePlay(TForm1& form, const testing::ServiceRun& service,
                              const std::vector<int>& songs, double* ms) {
    std::vector<core::SongRow> rows;
    for (const int song : songs) {
        rows.push_back({core::RowShape::File, std::to_string(song), 0, "月下听风",
                        songAddress(service, song).toStdString(), "1 M", "mp3"});
    }
    inside(form).resultRows().setRows(rows);
    inside(form).results.ListView1->selectAll();
    const QUrl first(songAddress(service, songs.front()));
    QElapsedTimer clock;
    clock.start();
    inside(form).play.SeSkinButton4->click();
    NativePlayer* p = nullptr;
    const bool ok = spinUntil(
        [&] {
            p = inside(form).playback().current();
            return p && p->position() > 0 && QUrl(p->entryAddress()) == first;
        },
        15000);
    if (ms) *ms = msSince(clock);
    return ok ? p : nullptr;
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

// CPU share of a list of four songs from `first` on, played with "在线播放" (the window
// minimised or not), over ten seconds from three seconds after it began sounding; total < 0
// when it never sounded.
CpuShare melorinPlaying(TForm1& form, const testing::ServiceRun& service, int first,
                        bool minimised) {
    if (minimised) form.minimizeWindow();  // as the window menu's "最小化"
    NativePlayer* p =
        clickOnlinePlay(form, service, {first, first + 1, first + 2, first + 3}, nullptr);
    if (p == nullptr) return {-1};
    cpuOver(kSettleMs);
    const CpuShare share = cpuOver(kMeasureMs);
    p->stop();
    if (minimised) form.restoreWindow();
    return share;
}

// The same with a bare QMediaPlayer in this process, a new source at each end.
CpuShare barePlaying(const testing::ServiceRun& service, int first) {
    QMediaPlayer media;
    QAudioOutput audio;
    media.setAudioOutput(&audio);
    int next = first;
    QObject::connect(&media, &QMediaPlayer::mediaStatusChanged,
                     [&](QMediaPlayer::MediaStatus status) {
                         if (status != QMediaPlayer::EndOfMedia) return;
                         media.setSource(QUrl(songAddress(service, ++next)));
                         media.play();
                     });
    media.setSource(QUrl(songAddress(service, first)));
    media.play();
    if (!spinUntil([&] { return media.position() > 0; }, 15000)) return {-1};
    cpuOver(kSettleMs);
    const CpuShare share = cpuOver(kMeasureMs);
    media.stop();
    return share;
}

CpuShare median(std::vector<CpuShare> v) {
    std::sort(v.begin(), v.end(),
              [](const CpuShare& a, const CpuShare& b) { return a.total < b.total; });
    return v[v.size() / 2];
}

void printShare(const char* what, const CpuShare& s) {
    std::printf("  %-30s: %5.2f %% of one core (program %.2f %%, web engine %.2f %%)\n", what,
                s.total, s.program, s.total - s.program);
}

}  // namespace

int main(int argc, char** argv) {
    BenchApplication app(argc, argv);
    const int runs = bench::runsFrom(argc, argv);

    BenchWindow window(QStringLiteral("Melorin bench"));
    if (!window.started()) return 1;
    TForm1& form = *window.form;
    const testing::ServiceRun& service = window.service;

    // The first click also starts the play panel browser's engine: reported on its own.
    double coldMs = 0;
    NativePlayer* cold = clickOnlinePlay(form, service, {0}, &coldMs);
    if (!cold) {
        std::fprintf(stderr, "the first click: no position within 15 s\n");
        return 1;
    }
    cold->stop();

    std::vector<double> melorinMs, bareMs;
    for (int i = 1; i <= runs; ++i) {
        double ms = 0;
        NativePlayer* p = clickOnlinePlay(form, service, {i}, &ms);
        if (!p) {
            std::fprintf(stderr, "run %d: no position within 15 s\n", i);
            return 1;
        }
        melorinMs.push_back(ms);
        p->stop();
        const double bare = bareFirstPositionMs(QUrl(songAddress(service, 100 + i)), 15000);
        if (bare < 0) return 1;
        bareMs.push_back(bare);
    }
    for (const QString& m : window.ui.messages)
        std::fprintf(stderr, "message: %s\n", qPrintable(m));
    std::printf(
        "start: \"在线播放\" click to first position > 0 of an MP3, median of %d runs (goal < 300 "
        "ms)\n",
        runs);
    printMedianLine("melorin window", melorinMs);
    printMedianLine("bare QMediaPlayer (reference)", bareMs);
    std::printf("  first click (engine starting) : %7.1f ms\n", coldMs);

    // The window with its pages loaded and nothing sounding, as the floor of what follows.
    const CpuShare rest = cpuOver(5000);
    // Lists of four four-second songs, each measured over ten seconds from three seconds after
    // it began sounding (page and pipeline settled), in three rounds: the window shown, the
    // window minimised, and a bare player in its place.
    std::vector<CpuShare> shown, minimised, bare;
    for (int round = 0; round < 3; ++round) {
        const int first = 200 + 20 * round;
        const CpuShare s = melorinPlaying(form, service, first, false);
        const CpuShare m = melorinPlaying(form, service, first + 5, true);
        const CpuShare b = barePlaying(service, first + 10);
        if (s.total < 0 || m.total < 0 || b.total < 0) return 1;
        shown.push_back(s);
        minimised.push_back(m);
        bare.push_back(b);
    }
    double gstWall = 0;
    const double gst = gstLaunchCpuPercent(songAddress(service, 203), &gstWall);
    std::printf("cpu: an MP3 list playing, 10 s from 3 s after it began, median of 3 rounds\n");
    printShare("melorin (program + web engine)", median(shown));
    printShare("melorin, window minimised", median(minimised));
    printShare("melorin, nothing sounding", rest);
    printShare("bare QMediaPlayer (reference)", median(bare));
    std::printf("  melorin - bare: %+.2f percentage points (goal within 0.5)\n",
                median(shown).total - median(bare).total);
    if (gst >= 0) {
        std::printf("  gst-launch-1.0 playbin (ref.) : %5.2f %% of one core over %.1f s\n", gst,
                    gstWall);
    } else {
        std::printf("  gst-launch-1.0 playbin (ref.) : not run (gstreamer1.0-tools missing?)\n");
    }
    return 0;
}
