#pragma once
// A small HTTP server for fault tests, on 127.0.0.1 and a free port, following
// the route contract of melorin-service --faults:
//   GET /fault/<name>?size=N[&cut=N][&once=1&id=X][&norange=1][&nolength=1]
//       [&status=404][&redirect=K][&trickle=B][&longer=N]
#include <atomic>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace melorin::testing {

unsigned char faultByte(std::int64_t i);

class FaultServer {
public:
    FaultServer();
    ~FaultServer();
    int port() const { return port_; }

private:
    void acceptLoop();
    void serve(int fd);

    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::set<std::string> seenIds_;
    std::vector<std::thread> connections_;
    std::thread acceptor_;
};

}  // namespace melorin::testing
