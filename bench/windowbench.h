#pragma once
// What the window benchmarks share: the offscreen set-up, the local service's songs, waiting
// on the event loop without spinning, and the bare QMediaPlayer they are measured beside.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <memory>
#include <vector>

#include "app/mainwindow.h"
#include "tests/app/recordingui.h"
#include "tests/support/servicerun.h"

namespace melorin::bench {

// The application of a window benchmark: offscreen unless a platform is set, the engine's
// sandbox off for root, Melorin's skins.
class BenchApplication : public QApplication {
public:
    BenchApplication(int& argc, char** argv);
};
// The run count given as the first argument, 10 when none.
int runsFrom(int argc, char** argv);

double median(std::vector<double> v);
double msSince(const QElapsedTimer& clock);
// "  <what>: <median> ms  (min …, max …)".
void printMedianLine(const char* what, const std::vector<double>& v);

// Runs the event loop until `done` holds (looked at every millisecond) or `limitMs` pass;
// false on timeout.
template <typename F>
bool spinUntil(F done, int limitMs) {
    if (done()) return true;
    QEventLoop loop;
    QTimer check;
    QElapsedTimer t;
    t.start();
    bool ok = false;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        ok = done();
        if (ok || t.elapsed() > limitMs) loop.quit();
    });
    check.start(1);
    loop.exec();
    return ok;
}

// The main window, shown, against a local service, with a program folder `folder` of its own
// in a temporary directory; its port never blocks (the benchmarks ask nothing).
struct BenchWindow {
    explicit BenchWindow(const QString& folder);
    bool started() const { return form != nullptr; }  // false: said on standard error

    testing::ServiceRun service;
    QTemporaryDir root;
    testing::RecordingUi ui;
    std::unique_ptr<TForm1> form;
};

// One of the service's MP3 songs; a different number gives a different file.
QString songAddress(const testing::ServiceRun& service, int song);

// A bare QMediaPlayer from setSource to its first position > 0; -1 when none within limitMs.
double bareFirstPositionMs(const QUrl& url, int limitMs);

}  // namespace melorin::bench
