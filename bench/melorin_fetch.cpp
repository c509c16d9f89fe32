// melorin-fetch [--queue FILE] [--no-split] ADDRESS SAVEPATH [WORKERS [ADDRESS SAVEPATH]...]
// Runs the download core as the window does, without the window: one queue row per address,
// one pass, the log on stderr. With --queue the unfinished rows are kept in FILE and those of
// an earlier run come back first (a row whose save path is already queued is not added
// again); SIGTERM or SIGINT stops like closing the window, so the rows resume next time.
// Exit code 0 when every file is complete.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "download/curltransfer.h"
#include "download/downloader.h"

using namespace melorin::download;

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int) {
    g_stop = 1;
}

void printLog(Downloader& dl) {
    for (const std::string& line : logLinesOf(dl.takeEvents()))
        std::fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    std::string queueFile;
    FetchOptions options;
    std::vector<const char*> args;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--queue") == 0 && i + 1 < argc) {
            queueFile = argv[++i];
        } else if (std::strcmp(argv[i], "--no-split") == 0) {
            options.splitSlowPieces = false;
        } else {
            args.push_back(argv[i]);
        }
    }
    if (args.size() < 2 || (args.size() > 3 && args.size() % 2 == 0)) {
        std::fprintf(stderr,
                     "usage: melorin-fetch [--queue FILE] [--no-split] ADDRESS SAVEPATH "
                     "[WORKERS [ADDRESS SAVEPATH]...]\n");
        return 2;
    }
    const int workers = args.size() > 2 ? std::atoi(args[2]) : 5;
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    Downloader dl(std::make_unique<CurlNetwork>(options));
    if (!queueFile.empty()) {
        const int back = dl.keepQueueIn(queueFile);
        if (back > 0) std::fprintf(stderr, "%d unfinished downloads back in the queue\n", back);
    }
    auto add = [&](const char* address, const char* path) {
        for (const DownloadJob& j : dl.jobs())
            if (j.savePath == path) return;
        DownloadJob job;
        job.title = path;
        job.address = address;
        job.savePath = path;
        dl.addJob(job);
    };
    add(args[0], args[1]);
    for (std::size_t i = 3; i + 1 < args.size(); i += 2) add(args[i], args[i + 1]);
    if (!dl.start({workers, "fetch", "."})) return 1;
    // A file has ended when its row leaves Running (its workers end a moment before).
    auto running = [&] {
        if (dl.passRunning()) return true;
        for (int i = 0; i < static_cast<int>(dl.jobs().size()); ++i)
            if (dl.rowState(i) == RowState::Running) return true;
        return false;
    };
    while (!g_stop && running()) {
        printLog(dl);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // few wake-ups
    }
    if (g_stop) dl.stopAll();
    printLog(dl);
    int rc = 0;
    for (int i = 0; i < static_cast<int>(dl.jobs().size()); ++i)
        if (dl.rowState(i) != RowState::Finished) rc = 1;
    return rc;
}
