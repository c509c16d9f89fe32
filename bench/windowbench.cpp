#include "bench/windowbench.h"

#include <unistd.h>

#include <QAudioOutput>
#include <QCoreApplication>
#include <QDir>
#include <QMediaPlayer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "ui/composition.h"
#include "ui/skin.h"

namespace melorin::bench {

namespace {
// Runs before the QApplication exists.
int& prepared(int& argc) {
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (::getuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    composition::chooseBeforeStart();
    return argc;
}
}  // namespace

BenchApplication::BenchApplication(int& argc, char** argv) : QApplication(prepared(argc), argv) {
    composition::settleAfterStart();
    ui::applySkins(*this);
}

int runsFrom(int argc, char** argv) {
    return argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double msSince(const QElapsedTimer& clock) {
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

void printMedianLine(const char* what, const std::vector<double>& v) {
    if (v.empty()) return;
    std::printf("  %-34s: %7.1f ms  (min %.1f, max %.1f)\n", what, median(v),
                *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()));
}

BenchWindow::BenchWindow(const QString& folder) {
    if (!service.start()) {
        std::fprintf(stderr, "cannot start the service: %s\n", qPrintable(service.error()));
        return;
    }
    const QString programDir = root.filePath(folder);
    QDir().mkpath(programDir);
    form =
        std::make_unique<TForm1>(ui, StartOptions{programDir, QString::fromLatin1(service.host())});
    form->show();
}

QString songAddress(const testing::ServiceRun& service, int song) {
    return QStringLiteral("http://%1/music/s%2/%3.mp3")
        .arg(QString::fromLatin1(service.host()))
        .arg(1 + song % 50, 2, 10, QChar(u'0'))
        .arg(song % 15, 3, 10, QChar(u'0'));
}

double bareFirstPositionMs(const QUrl& url, int limitMs) {
    QMediaPlayer media;
    QAudioOutput audio;
    media.setAudioOutput(&audio);
    QElapsedTimer clock;
    clock.start();
    media.setSource(url);
    media.play();
    if (!spinUntil([&] { return media.position() > 0; }, limitMs)) return -1;
    const double ms = msSince(clock);
    media.stop();
    return ms;
}

}  // namespace melorin::bench
