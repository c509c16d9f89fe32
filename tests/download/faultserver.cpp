#include "faultserver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <map>

namespace melorin::testing {

unsigned char faultByte(std::int64_t i) {
    return static_cast<unsigned char>((i ^ (i >> 8) ^ (i >> 16)) * 167 + 13);
}

namespace {

bool sendAll(int fd, const char* p, std::size_t n) {
    while (n > 0) {
        ssize_t w = ::send(fd, p, n, MSG_NOSIGNAL);
        if (w <= 0) return false;
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

std::int64_t num(const std::map<std::string, std::string>& q, const std::string& key) {
    auto it = q.find(key);
    return it == q.end() ? 0 : std::stoll(it->second);
}

}  // namespace

FaultServer::FaultServer() {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(listenFd_, 64);
    socklen_t len = sizeof a;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    acceptor_ = std::thread([this] { acceptLoop(); });
}

FaultServer::~FaultServer() {
    stop_ = true;
    acceptor_.join();
    ::close(listenFd_);
    for (auto& t : connections_) t.join();
}

void FaultServer::acceptLoop() {
    while (!stop_) {
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        int fd = ::accept(listenFd_, nullptr, nullptr);
        if (fd < 0) continue;
        connections_.emplace_back([this, fd] {
            serve(fd);
            ::close(fd);
        });
    }
}

void FaultServer::serve(int fd) {
    std::string req;
    char buf[4096];
    while (req.find("\r\n\r\n") == std::string::npos && req.size() < 65536) {
        pollfd p{fd, POLLIN, 0};
        if (stop_ || ::poll(&p, 1, 2000) <= 0) return;
        ssize_t r = ::recv(fd, buf, sizeof buf, 0);
        if (r <= 0) return;
        req.append(buf, static_cast<std::size_t>(r));
    }
    std::string target = req.substr(4, req.find(' ', 4) - 4);
    std::string path = target.substr(0, target.find('?'));
    std::map<std::string, std::string> q;
    if (auto qm = target.find('?'); qm != std::string::npos) {
        std::string rest = target.substr(qm + 1);
        std::size_t pos = 0;
        while (pos < rest.size()) {
            std::size_t amp = rest.find('&', pos);
            std::string kv = rest.substr(pos, amp - pos);
            auto eq = kv.find('=');
            q[kv.substr(0, eq)] = eq == std::string::npos ? "" : kv.substr(eq + 1);
            pos = amp == std::string::npos ? rest.size() : amp + 1;
        }
    }
    if (path.rfind("/fault/", 0) != 0) {
        sendAll(fd, "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n", 66);
        return;
    }
    const std::int64_t size = num(q, "size");
    if (num(q, "redirect") > 0) {
        std::string next = path + "?";
        for (auto& [k, v] : q)
            next += k + "=" + (k == "redirect" ? std::to_string(num(q, "redirect") - 1) : v) + "&";
        next.pop_back();
        std::string head = "HTTP/1.1 302 Found\r\nLocation: " + next +
                           "\r\nContent-Length: 13\r\nConnection: close\r\n\r\nredirect body";
        sendAll(fd, head.data(), head.size());
        return;
    }
    if (num(q, "status") != 0) {
        std::string body = "<html><body>error page</body></html>";
        std::string head = "HTTP/1.1 " + std::to_string(num(q, "status")) +
                           " Not Found\r\nContent-Type: text/html\r\nContent-Length: " +
                           std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
        sendAll(fd, head.data(), head.size());
        return;
    }
    std::int64_t first = 0, last = size - 1;
    bool ranged = false;
    std::string lower = req;
    std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
    if (auto r = lower.find("\r\nrange: bytes="); r != std::string::npos && !num(q, "norange")) {
        std::string rangeText = req.substr(r + 15, req.find("\r\n", r + 2) - r - 15);
        first = std::stoll(rangeText);
        if (first > last) first = last;
        auto dash = rangeText.find('-');
        if (dash + 1 < rangeText.size())
            last = std::min<std::int64_t>(last, std::stoll(rangeText.substr(dash + 1)));
        ranged = true;
    }
    std::int64_t cut = num(q, "cut");
    if (cut > 0 && num(q, "once")) {
        std::lock_guard lock(mutex_);
        if (!seenIds_.insert(q["id"]).second) cut = 0;
    }
    const std::int64_t length = last - first + 1;
    std::string head = ranged ? "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " +
                                    std::to_string(first) + "-" + std::to_string(last) + "/" +
                                    std::to_string(size) + "\r\n"
                              : "HTTP/1.1 200 OK\r\n";
    if (!num(q, "nolength")) head += "Content-Length: " + std::to_string(length) + "\r\n";
    head += "Connection: close\r\n\r\n";
    if (!sendAll(fd, head.data(), head.size())) return;
    const std::int64_t toSend = length + num(q, "longer");
    const std::int64_t trickle = num(q, "trickle");
    std::string chunk;
    for (std::int64_t sent = 0; sent < toSend && !stop_;) {
        std::int64_t n = std::min<std::int64_t>(trickle > 0 ? trickle : 65536, toSend - sent);
        if (cut > 0) n = std::min(n, cut - sent);
        if (n <= 0) return;  // cut: close the connection
        chunk.resize(static_cast<std::size_t>(n));
        for (std::int64_t i = 0; i < n; ++i)
            chunk[i] = static_cast<char>(faultByte(first + sent + i));
        if (!sendAll(fd, chunk.data(), chunk.size())) return;
        sent += n;
        if (trickle > 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

}  // namespace melorin::testing
