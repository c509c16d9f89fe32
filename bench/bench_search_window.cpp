// A full 20-page search in the real window (offscreen) against the local service: the total
// time from pressing "搜索" until the chain ends, beside the sum of the page load times.
//   bench_search_window [RUNS]

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWebEngineView>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/mainwindow.h"
#include "app/songrowmodel.h"
#include "app/webbrowser.h"
#include "tests/app/windowinside.h"
#include "tests/support/servicerun.h"
#include "ui/reportview.h"
#include "ui/skin.h"
#include "ui/uiport.h"

namespace {

struct Run {
    double totalMs = 0;
    double pageLoadMs = 0;
    double parseMs = 0;
    int pages = 0;
    int rows = 0;
};

// The engine view exists once the first search has run (the warm-up).
Run searchOnce(melorin::TForm1& form) {
    const auto w = inside(form);
    Run r;
    QElapsedTimer clock;
    QElapsedTimer page;
    bool loading = false;
    QWebEngineView* view = w.results.WebBrowser1->engineView();
    auto started = QObject::connect(view, &QWebEngineView::loadStarted, [&] {
        page.start();
        loading = true;
    });
    auto finished = QObject::connect(view, &QWebEngineView::loadFinished, [&](bool) {
        if (!loading) return;
        loading = false;
        r.pageLoadMs += static_cast<double>(page.nsecsElapsed()) / 1e6;
        ++r.pages;
    });
    QElapsedTimer parse;
    auto parsed = QObject::connect(w.results.WebBrowser1, &melorin::WebBrowser::DocumentComplete,
                                   [&] { parse.start(); });
    w.resultRows().clear();
    clock.start();
    w.bar.Button1->click();
    QElapsedTimer quiet;
    quiet.start();
    int lastRows = -1;
    double endMs = 0;
    while (clock.elapsed() < 120000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (w.results.WebBrowser1->isLoading() || w.results.ListView1->rowCount() != lastRows) {
            lastRows = w.results.ListView1->rowCount();
            endMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
            quiet.restart();
        } else if (quiet.elapsed() > 1000) {
            break;
        }
    }
    r.totalMs = endMs;
    r.rows = w.results.ListView1->rowCount();
    QObject::disconnect(started);
    QObject::disconnect(finished);
    QObject::disconnect(parsed);
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    melorin::ui::applySkins(app);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    melorin::testing::ServiceRun service;
    if (!service.start()) {
        std::fprintf(stderr, "service: %s\n", qPrintable(service.error()));
        return 1;
    }
    QTemporaryDir dir;
    melorin::ui::DesktopUiPort ui;
    melorin::TForm1 form(ui, {dir.path(), QString::fromLatin1(service.host())});
    form.show();
    inside(form).bar.Edit1->setText(QStringLiteral("歌"));
    inside(form).bar.Button1->click();  // starts and warms the engine and the service
    while (inside(form).results.WebBrowser1->engineView() == nullptr)
        QCoreApplication::processEvents();
    searchOnce(form);
    std::vector<Run> all;
    for (int i = 0; i < runs; ++i) {
        const Run r = searchOnce(form);
        all.push_back(r);
        std::printf("run %d: %d pages, %d rows, total %.0f ms, page loads %.0f ms (%.0f%%)\n",
                    i + 1, r.pages, r.rows, r.totalMs, r.pageLoadMs,
                    100.0 * r.pageLoadMs / r.totalMs);
    }
    std::sort(all.begin(), all.end(),
              [](const Run& a, const Run& b) { return a.totalMs < b.totalMs; });
    const Run& m = all[all.size() / 2];
    std::printf("median: total %.0f ms for %d pages, sum of page loads %.0f ms, the rest %.0f ms\n",
                m.totalMs, m.pages, m.pageLoadMs, m.totalMs - m.pageLoadMs);
    return 0;
}
