// Installs the demo service's routes on a cpp-httplib server: the search, list and chart
// pages, the redirect, the audio files, the two music catalogues and (only when asked) the
// test fault files.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>

namespace httplib {
class Server;
}

namespace melorin::service {

// Appends one line per request, "METHOD TARGET VERSION" with the target exactly as it
// arrived, and flushes it at once so a test can read it while the service runs.
class RequestLog {
public:
    RequestLog() = default;
    ~RequestLog();
    RequestLog(const RequestLog&) = delete;
    RequestLog& operator=(const RequestLog&) = delete;

    bool open(const std::string& path);  // false when the file cannot be opened for appending
    void write(const std::string& method, const std::string& target, const std::string& version);
    void write(const std::string& line);  // any one line

private:
    std::mutex mutex_;
    std::FILE* file_ = nullptr;
};

struct RouteOptions {
    bool faults = false;            // serve /fault/...
    int port = 0;                   // the bound port, for requests without a Host header
    RequestLog* log = nullptr;      // may be null
    RequestLog* sentLog = nullptr;  // fault answers as they end: "BYTES TARGET"; may be null
    int catalogueDelayMs = 0;       // the music catalogues' search and metadata answers wait
};

void installRoutes(httplib::Server& server, const RouteOptions& options);

}  // namespace melorin::service
