// The card preview in the real window, offscreen against the local service: from a click on
// "预览" to the page's document complete in WebBrowser4 and to the first audio position > 0
// of the card's MP3, median of RUNS (a different song each run), beside a bare QWebEngineView
// loading the same card.html and a bare QMediaPlayer playing the same kind of song.
//   bench_card_window [RUNS]
#include <unistd.h>

#include <QApplication>
#include <QAudioOutput>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QMediaPlayer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QWebEngineView>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/mainwindow.h"
#include "app/songrowmodel.h"
#include "app/webbrowser.h"
#include "player/nativeplayer.h"
#include "player/playbackcoordinator.h"
#include "tests/app/recordingui.h"
#include "tests/support/servicerun.h"
#include "ui/reportview.h"
#include "ui/skin.h"

using namespace melorin;

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double ms(const QElapsedTimer& clock) {
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

// Runs the event loop until `done` holds (looked at every millisecond) or `limitMs` pass.
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

QString songAddress(const testing::ServiceRun& service, int song) {
    return QStringLiteral("http://%1/music/s%2/%3.mp3")
        .arg(QString::fromLatin1(service.host()))
        .arg(1 + song % 50, 2, 10, QChar(u'0'))
        .arg(song % 15, 3, 10, QChar(u'0'));
}

struct Figures {
    double documentMs = -1;
    double soundMs = -1;
};

// One "预览" of the card of `address`: the song goes in through the result list and "卡".
Figures previewOnce(TForm1& form, const QString& address) {
    form.resultRows().setRows(
        {{core::RowShape::File, "1", 0, "贺卡之歌", address.toStdString(), "1.2 M", "mp3"}});
    form.ListView1->selectRow(0);
    form.dragcardbtn->click();
    Figures f;
    bool complete = false;
    const QMetaObject::Connection c =
        QObject::connect(form.WebBrowser4, &WebBrowser::DocumentComplete, [&] { complete = true; });
    QElapsedTimer clock;
    clock.start();
    form.previewbtn->click();
    bool playing = false;
    spinUntil(
        [&] {
            if (complete && f.documentMs < 0) f.documentMs = ms(clock);
            const player::NativePlayer* p = form.playback().current();
            if (!playing && p && p->position() > 0 && p->entryAddress() == address) {
                playing = true;
                f.soundMs = ms(clock);
            }
            return complete && playing;
        },
        20000);
    QObject::disconnect(c);
    if (player::NativePlayer* p = form.playback().current()) p->stop();
    return f;
}

double bareDocumentMs(QWebEngineView& view, const QUrl& page) {
    bool done = false;
    const QMetaObject::Connection c =
        QObject::connect(&view, &QWebEngineView::loadFinished, [&] { done = true; });
    QElapsedTimer clock;
    clock.start();
    view.load(page);
    const bool ok = spinUntil([&] { return done; }, 20000);
    QObject::disconnect(c);
    return ok ? ms(clock) : -1;
}

double bareSoundMs(const QUrl& url) {
    QMediaPlayer media;
    QAudioOutput audio;
    media.setAudioOutput(&audio);
    QElapsedTimer clock;
    clock.start();
    media.setSource(url);
    media.play();
    if (!spinUntil([&] { return media.position() > 0; }, 20000)) return -1;
    const double t = ms(clock);
    media.stop();
    return t;
}

void line(const char* what, const std::vector<double>& v) {
    std::printf("  %-34s: %7.1f ms  (min %.1f, max %.1f)\n", what, median(v),
                *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()));
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    if (::getuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    ui::applySkins(app);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;

    testing::ServiceRun service;
    if (!service.start()) {
        std::fprintf(stderr, "cannot start the service: %s\n", qPrintable(service.error()));
        return 1;
    }
    QTemporaryDir root;
    const QString programDir = root.filePath(QStringLiteral("贺卡 bench"));
    QDir().mkpath(programDir);
    testing::RecordingUi ui;  // never blocks; the benchmark asks nothing
    TForm1 form(ui,
                {root.filePath(QStringLiteral("贺卡 bench")), QString::fromLatin1(service.host())});
    form.show();
    form.Button5->click();
    form.nameedit->setText(QStringLiteral("新年快乐"));
    form.iememo->setPlainText(QStringLiteral("祝你\n万事如意\n身体健康"));

    // The first preview also starts the browser's engine: reported on its own.
    const Figures cold = previewOnce(form, songAddress(service, 0));
    if (cold.documentMs < 0 || cold.soundMs < 0) {
        std::fprintf(stderr, "the first preview did not load or play within 20 s\n");
        return 1;
    }
    std::vector<double> documentMs, soundMs, bareDocMs, bareSound;
    QWebEngineView bareView;
    bareView.resize(255, 122);
    bareView.show();
    bareDocumentMs(bareView, QUrl(QStringLiteral("about:blank")));  // its engine is warm too
    for (int i = 1; i <= runs; ++i) {
        const Figures f = previewOnce(form, songAddress(service, i));
        if (f.documentMs < 0 || f.soundMs < 0) {
            std::fprintf(stderr, "run %d: no document or no sound within 20 s\n", i);
            return 1;
        }
        documentMs.push_back(f.documentMs);
        soundMs.push_back(f.soundMs);
        const double doc = bareDocumentMs(
            bareView, QUrl::fromLocalFile(form.ProgramDir + QStringLiteral("card.html")));
        const double sound = bareSoundMs(QUrl(songAddress(service, 100 + i)));
        if (doc < 0 || sound < 0) return 1;
        bareDocMs.push_back(doc);
        bareSound.push_back(sound);
    }
    for (const QString& m : ui.messages) std::fprintf(stderr, "message: %s\n", qPrintable(m));
    std::printf(
        "card preview: \"预览\" to document complete and to first audio position > 0, "
        "median of %d runs\n",
        runs);
    line("melorin: document complete", documentMs);
    line("bare QWebEngineView (reference)", bareDocMs);
    line("melorin: first position > 0", soundMs);
    line("bare QMediaPlayer (reference)", bareSound);
    std::printf("  first preview (engine starting)   : document %.1f ms, sound %.1f ms\n",
                cold.documentMs, cold.soundMs);
    return 0;
}
