// melorin-service: Melorin's local demo and test service (see README.md).
#include <httplib.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "service/routes.h"

namespace {

constexpr const char* kUsage =
    "Usage: melorin-service [--port N] [--log FILE] [--delay-ms N] [--faults [--sent-log FILE]]\n"
    "Melorin's demo music search service on 127.0.0.1.\n"
    "  --port N    listen on port N (default 8360; 0 picks a free port)\n"
    "  --log FILE  append every request line to FILE\n"
    "  --delay-ms N  the music catalogues' search and metadata answers wait N ms\n"
    "  --faults    also serve the test fault files under /fault/\n"
    "  --sent-log FILE  append a line per fault-file answer when it ends: body bytes sent\n"
    "  --help      show this text\n"
    "  --version   show the version\n"
    "The first line on standard output is \"listening on 127.0.0.1:PORT\".\n";

httplib::Server* g_server = nullptr;

void stopOnSignal(int) {
    if (g_server) g_server->stop();
}

}  // namespace

int main(int argc, char** argv) {
    int port = 8360;
    std::string logPath;
    std::string sentLogPath;
    bool faults = false;
    int delayMs = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--version") {
            std::printf("melorin-service %s\n", MELORIN_VERSION);
            return 0;
        } else if (arg == "--port" && hasValue) {
            char* end = nullptr;
            const long p = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || p < 0 || p > 65535) {
                std::fprintf(stderr, "melorin-service: bad port: %s\n", argv[i]);
                return 2;
            }
            port = static_cast<int>(p);
        } else if (arg == "--delay-ms" && hasValue) {
            char* end = nullptr;
            const long ms = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || ms < 0 || ms > 60000) {
                std::fprintf(stderr, "melorin-service: bad delay: %s\n", argv[i]);
                return 2;
            }
            delayMs = static_cast<int>(ms);
        } else if (arg == "--log" && hasValue) {
            logPath = argv[++i];
        } else if (arg == "--sent-log" && hasValue) {
            sentLogPath = argv[++i];
        } else if (arg == "--faults") {
            faults = true;
        } else {
            std::fprintf(stderr, "melorin-service: unknown option: %s\n%s", arg.c_str(), kUsage);
            return 2;
        }
    }

    melorin::service::RequestLog log;
    melorin::service::RequestLog sentLog;
    for (auto [path, target] : {std::pair{&logPath, &log}, std::pair{&sentLogPath, &sentLog}}) {
        if (!path->empty() && !target->open(*path)) {
            std::fprintf(stderr, "melorin-service: cannot open log %s: %s\n", path->c_str(),
                         std::strerror(errno));
            return 1;
        }
    }

    httplib::Server server;
    // The download manager keeps up to 15 transfers and a probe open at once, with keep-alive.
    server.new_task_queue = [] { return new httplib::ThreadPool(48); };
    server.set_keep_alive_timeout(5);
    // cpp-httplib's default sets SO_REUSEPORT, which would let a second service share a busy
    // port silently; only SO_REUSEADDR is kept, so a taken port is reported.
    server.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    // Answers go out as they are written: a head and a body written apart would otherwise wait
    // for the client's delayed acknowledgement on a kept-alive connection (tens of ms each).
    server.set_tcp_nodelay(true);
    const char* host = "127.0.0.1";
    int bound = port;
    if (port == 0) {
        bound = server.bind_to_any_port(host);
    } else if (!server.bind_to_port(host, port)) {
        bound = -1;
    }
    if (bound <= 0) {
        std::fprintf(stderr, "melorin-service: cannot listen on %s:%d\n", host, port);
        return 1;
    }
    melorin::service::installRoutes(server, {faults, bound, logPath.empty() ? nullptr : &log,
                                             sentLogPath.empty() ? nullptr : &sentLog, delayMs});
    std::printf("listening on %s:%d\n", host, bound);
    std::fflush(stdout);

    g_server = &server;
    std::signal(SIGINT, stopOnSignal);
    std::signal(SIGTERM, stopOnSignal);
    std::signal(SIGPIPE, SIG_IGN);
    server.listen_after_bind();
    return 0;
}
