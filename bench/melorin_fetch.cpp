// melorin-fetch ADDRESS SAVEPATH [WORKERS [ADDRESS SAVEPATH]...]
// Runs the download core as the window does, without the window: one queue row
// per address, one pass, the log on stderr. Exit code 0 when every file is complete.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "download/curltransfer.h"
#include "download/downloader.h"

using namespace melorin::download;

int main(int argc, char** argv) {
    if (argc < 3 || (argc > 4 && argc % 2 != 0)) {
        std::fprintf(stderr,
                     "usage: melorin-fetch ADDRESS SAVEPATH [WORKERS [ADDRESS SAVEPATH]...]\n");
        return 2;
    }
    int workers = argc > 3 ? std::atoi(argv[3]) : 5;
    Downloader dl(std::make_unique<CurlNetwork>());
    auto add = [&](const char* address, const char* path) {
        DownloadJob job;
        job.title = path;
        job.address = address;
        job.savePath = path;
        dl.addJob(job);
    };
    add(argv[1], argv[2]);
    for (int i = 4; i + 1 < argc; i += 2) add(argv[i], argv[i + 1]);
    std::string folder = ".";
    if (!dl.start({workers, "fetch", folder})) return 1;
    while (dl.passRunning() || dl.snapshot().runningWorkers > 0) {
        for (const auto& e : dl.takeEvents())
            if (e.kind == DownloadEvent::Kind::Log) std::fprintf(stderr, "%s\n", e.text.c_str());
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // few wake-ups
    }
    for (const auto& e : dl.takeEvents())
        if (e.kind == DownloadEvent::Kind::Log) std::fprintf(stderr, "%s\n", e.text.c_str());
    int rc = 0;
    for (int i = 0; i < static_cast<int>(dl.jobs().size()); ++i)
        if (dl.rowState(i) != RowState::Finished) rc = 1;
    return rc;
}
