#pragma once
// A web server on 127.0.0.1 that misbehaves on purpose, for the download tests and the outage
// benchmark. Any path serves a file; the query says how it misbehaves:
//   size=N          the file's length (default 1 MiB)
//   id=X            what its counters and its changes are kept by (default: the path)
//   change=K        from the K-th request of the id on the file is another: new bytes, new ETag
//   changes=1       ...and another again at every request after that
//   ifrange=1       If-Range naming an older ETag gets the whole new file (200); without it the
//                   ranges are answered from the new file all the same (206)
//   goneat=B        once B body bytes of the id's ranged answers were sent, its connections are
//   gonefor=MS        cut and new ones are closed unanswered for MS milliseconds of the clock
//                     (-1: for good); with goneof=all, bytes of any answer count (for clients
//                     whose first request has no range)
//   peranswer=N     each answer sends at most N body bytes, then closes
//   encoding=E      the answer says Content-Encoding: E
//   absurd=1        the answer announces 10^18 bytes
//   redirect=ftp    302 to an ftp:// address
//   rate=B          bytes per second on each connection (real time)
// Every answer closes its connection. Byte i of the file's version v is hostileByte(i, v).
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace melorin::testing {

unsigned char hostileByte(std::int64_t i, int version);
std::string hostileFile(std::int64_t size, int version);

class HostileServer {
public:
    using Now = std::function<std::chrono::steady_clock::time_point()>;
    // `now` measures the outages; `sentLog` (may be "") gets "BYTES TARGET" per answer.
    explicit HostileServer(
        Now now = [] { return std::chrono::steady_clock::now(); }, std::string sentLog = {},
        int port = 0);
    ~HostileServer();
    HostileServer(const HostileServer&) = delete;
    HostileServer& operator=(const HostileServer&) = delete;

    bool listening() const { return listenFd_ >= 0; }
    int port() const { return port_; }
    std::string url(const std::string& pathAndQuery) const;

    // The ranges asked for (and answered with 206), bytes [first, last], in order.
    std::vector<std::pair<std::int64_t, std::int64_t>> ranges(const std::string& id) const;
    // Ends the id's outage now.
    void back(const std::string& id);

private:
    struct File {
        int requests = 0;
        std::int64_t sent = 0;
        std::int64_t sentRanged = 0;
        std::vector<std::pair<std::int64_t, std::int64_t>> ranges;
        bool outageBegun = false;
        std::chrono::steady_clock::time_point goneUntil{};
        bool goneForGood = false;
    };
    struct Request;

    void acceptLoop();
    void serve(int fd);
    void answer(int fd, const Request& request);
    bool gone(const std::string& id);  // caller holds mutex_
    void log(std::int64_t bytes, const std::string& target);

    Now now_;
    std::string sentLog_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread acceptor_;
    mutable std::mutex mutex_;
    std::map<std::string, File> files_;
    std::set<int> open_;              // client sockets, shut down when the server stops
    std::condition_variable closed_;  // each connection's thread ends by erasing its socket
};

}  // namespace melorin::testing
