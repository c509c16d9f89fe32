// melorin-hostile [--port N] [--sent-log FILE]: the misbehaving server of
// tests/support/hostileserver.h as a program, for benchmarks. Prints "listening on HOST:PORT"
// and serves until SIGTERM or SIGINT.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "tests/support/hostileserver.h"

namespace {
volatile std::sig_atomic_t g_stop = 0;
void onSignal(int) {
    g_stop = 1;
}
}  // namespace

int main(int argc, char** argv) {
    int port = 0;
    std::string sentLog;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--port") == 0) port = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--sent-log") == 0) sentLog = argv[i + 1];
    }
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    melorin::testing::HostileServer server([] { return std::chrono::steady_clock::now(); }, sentLog,
                                           port);
    if (!server.listening()) {
        std::fprintf(stderr, "melorin-hostile: cannot listen on 127.0.0.1:%d\n", port);
        return 1;
    }
    std::printf("listening on 127.0.0.1:%d\n", server.port());
    std::fflush(stdout);
    while (!g_stop) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return 0;
}
