#pragma once
// Debian's nginx on 127.0.0.1 and a free port, serving <dir>/www, with /slow/
// limited per connection; config, pid file and logs stay in the given directory.
#include <string>

namespace melorin::testing {

class NginxServer {
public:
    NginxServer(const std::string& dir, const std::string& slowRate = "2m");
    ~NginxServer();
    bool running() const { return pid_ > 0; }
    int port() const { return port_; }
    std::string www() const { return dir_ + "/www"; }

private:
    std::string dir_;
    int port_ = 0;
    int pid_ = -1;
};

// Picks a port that was free a moment ago.
int freeLoopbackPort();

}  // namespace melorin::testing
