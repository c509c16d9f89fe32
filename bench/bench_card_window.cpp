// The card preview in the real window, offscreen against the local service: from a click on
// "预览" to the page's document complete in WebBrowser4 and to the first audio position > 0
// of the card's MP3, median of RUNS (a different song each run), beside a bare QWebEngineView
// loading the same card.html and a bare QMediaPlayer playing the same kind of song.
//   bench_card_window [RUNS]
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QWebEngineView>
#include <cstdio>
#include <vector>

#include "app/mainwindow.h"
#include "app/songrowmodel.h"
#include "app/webbrowser.h"
#include "bench/windowbench.h"
#include "player/nativeplayer.h"
#include "player/playbackcoordinator.h"
#include "tests/app/windowinside.h"
#include "ui/reportview.h"

using namespace melorin;
using namespace melorin::bench;

namespace {

struct Figures {
    double documentMs = -1;
    double soundMs = -1;
};

// One "预览" of the card of `address`: the song goes in through the result list and "卡".
Figures previewOnce(TForm1& form, const QString& address) {
    const auto w = inside(form);
    w.resultRows().setRows(
        {{core::RowShape::File, "1", 0, "贺卡之歌", address.toStdString(), "1.2 M", "mp3"}});
    w.results.ListView1->selectRow(0);
    w.play.dragcardbtn->click();
    Figures f;
    bool complete = false;
    const QMetaObject::Connection c = QObject::connect(
        w.card.WebBrowser4, &WebBrowser::DocumentComplete, [&] { complete = true; });
    QElapsedTimer clock;
    clock.start();
    w.card.previewbtn->click();
    bool playing = false;
    spinUntil(
        [&] {
            if (complete && f.documentMs < 0) f.documentMs = msSince(clock);
            const player::NativePlayer* p = w.playback().current();
            if (!playing && p && p->position() > 0 && p->entryAddress() == address) {
                playing = true;
                f.soundMs = msSince(clock);
            }
            return complete && playing;
        },
        20000);
    QObject::disconnect(c);
    if (player::NativePlayer* p = w.playback().current()) p->stop();
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
    return ok ? msSince(clock) : -1;
}

}  // namespace

int main(int argc, char** argv) {
    BenchApplication app(argc, argv);
    const int runs = bench::runsFrom(argc, argv);

    BenchWindow window(QStringLiteral("贺卡 bench"));
    if (!window.started()) return 1;
    TForm1& form = *window.form;
    const auto w = inside(form);
    w.functions.Button5->click();
    w.card.nameedit->setText(QStringLiteral("新年快乐"));
    w.card.iememo->setPlainText(QStringLiteral("祝你\n万事如意\n身体健康"));

    // The first preview also starts the browser's engine: reported on its own.
    const Figures cold = previewOnce(form, songAddress(window.service, 0));
    if (cold.documentMs < 0 || cold.soundMs < 0) {
        std::fprintf(stderr, "the first preview did not load or play within 20 s\n");
        return 1;
    }
    std::vector<double> documentMs, soundMs, bareDocMs, bareSound;
    QWebEngineView bareView;
    bareView.resize(w.card.WebBrowser4->view()->size());  // as large as the preview
    bareView.show();
    bareDocumentMs(bareView, QUrl(QStringLiteral("about:blank")));  // its engine is warm too
    for (int i = 1; i <= runs; ++i) {
        const Figures f = previewOnce(form, songAddress(window.service, i));
        if (f.documentMs < 0 || f.soundMs < 0) {
            std::fprintf(stderr, "run %d: no document or no sound within 20 s\n", i);
            return 1;
        }
        documentMs.push_back(f.documentMs);
        soundMs.push_back(f.soundMs);
        const double doc = bareDocumentMs(
            bareView, QUrl::fromLocalFile(w.ProgramDir + QStringLiteral("card.html")));
        const double sound = bareFirstPositionMs(QUrl(songAddress(window.service, 100 + i)), 20000);
        if (doc < 0 || sound < 0) return 1;
        bareDocMs.push_back(doc);
        bareSound.push_back(sound);
    }
    for (const QString& m : window.ui.messages)
        std::fprintf(stderr, "message: %s\n", qPrintable(m));
    std::printf(
        "card preview: \"预览\" to document complete and to first audio position > 0, "
        "median of %d runs\n",
        runs);
    printMedianLine("melorin: document complete", documentMs);
    printMedianLine("bare QWebEngineView (reference)", bareDocMs);
    printMedianLine("melorin: first position > 0", soundMs);
    printMedianLine("bare QMediaPlayer (reference)", bareSound);
    std::printf("  first preview (engine starting)   : document %.1f ms, sound %.1f ms\n",
                cold.documentMs, cold.soundMs);
    return 0;
}
