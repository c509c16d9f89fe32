// The test-only fault files (--faults): "/fault/<name>?size=N&..." with the modifiers of
// faults.h, answered by cpp-httplib.
#pragma once

#include <httplib.h>

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace melorin::service {

void sendPage(httplib::Response& res, const std::string& html, int status = 200);

// What the fault files remember between requests, per id: whether its first ranged answer
// was spoiled ("once") and the connections in the order they arrived ("slowconn"). Bounded,
// so no client can grow it without end.
class FaultMemory {
public:
    bool firstRanged(const std::string& id);
    // 1 for the first connection (remote address and port) seen for the id, 2 for the next...
    int connectionNumber(const std::string& id, const std::string& connection);

private:
    std::mutex mutex_;
    std::set<std::string> spoiled_;
    std::map<std::string, std::vector<std::string>> connections_;
};

class RequestLog;

// `sentLog` (may be null) gets "BYTES TARGET" when the answer's body ends, however it ends.
void serveFault(const httplib::Request& req, httplib::Response& res, const std::string& host,
                FaultMemory& memory, RequestLog* sentLog);

}  // namespace melorin::service
