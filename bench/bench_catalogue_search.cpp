// A catalogue search in the real window (offscreen) against the local service, which delays
// every search and metadata answer by 100 ms as a distant server would: the time from pressing
// "搜索" to the first row and to the last, for 50 Internet Archive items, with the metadata
// requests four at once (as Melorin runs) beside one at a time.
//   bench_catalogue_search [RUNS] [DELAY_MS]

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <cstdio>
#include <cstdlib>

#include "app/songrowmodel.h"
#include "bench/windowbench.h"
#include "tests/app/windowinside.h"

namespace {

struct Times {
    std::vector<double> firstRow;
    std::vector<double> lastRow;
    int rows = 0;
};

Times measure(const melorin::testing::ServiceRun& service, int connections, int runs) {
    using melorin::bench::msSince;
    Times t;
    QTemporaryDir root;
    melorin::testing::RecordingUi ui;
    melorin::StartOptions options{root.path(), QString::fromLatin1(service.host())};
    options.archiveBase = QStringLiteral("http://") + QString::fromLatin1(service.host());
    options.catalogueConnections = connections;
    melorin::TForm1 form(ui, options);
    form.show();
    inside(form).bar.SeSkinComboBox2->setCurrentIndex(1);  // the Internet Archive
    inside(form).bar.Edit1->setText(QStringLiteral("唱片"));
    for (int run = 0; run <= runs; ++run) {  // run 0 warms up
        inside(form).resultRows().clear();
        QElapsedTimer clock;
        double first = -1;
        double last = -1;
        const auto rows =
            QObject::connect(&inside(form).resultRows(), &QAbstractItemModel::rowsInserted, [&] {
                if (first < 0) first = msSince(clock);
                last = msSince(clock);
            });
        clock.start();
        inside(form).bar.Button1->click();
        const bool ended = melorin::bench::spinUntil(
            [&] { return !inside(form).catalogueSearch.running; }, 120000);
        QObject::disconnect(rows);
        if (!ended || first < 0) {
            std::fprintf(stderr, "the search did not end with rows (%d connections)\n",
                         connections);
            std::exit(1);
        }
        if (run == 0) continue;
        t.firstRow.push_back(first);
        t.lastRow.push_back(last);
        t.rows = inside(form).resultRows().size();
    }
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    melorin::bench::BenchApplication app(argc, argv);
    const int runs = melorin::bench::runsFrom(argc, argv);
    const int delay = argc > 2 ? std::atoi(argv[2]) : 100;
    melorin::testing::ServiceRun service;
    if (!service.start({QStringLiteral("--delay-ms"), QString::number(delay)})) {
        std::fprintf(stderr, "cannot start the service: %s\n", qPrintable(service.error()));
        return 1;
    }
    std::printf("50 Internet Archive items, every answer delayed by %d ms, %d runs each:\n", delay,
                runs);
    for (const int connections : {4, 1}) {
        const Times t = measure(service, connections, runs);
        std::printf("%d metadata request%s at once (%d rows):\n", connections,
                    connections == 1 ? "" : "s", t.rows);
        melorin::bench::printMedianLine("搜索 to the first row", t.firstRow);
        melorin::bench::printMedianLine("搜索 to the last row", t.lastRow);
    }
    return 0;
}
