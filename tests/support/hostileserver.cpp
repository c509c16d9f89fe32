#include "tests/support/hostileserver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>

namespace melorin::testing {
namespace {

constexpr std::int64_t kAbsurdLength = 1'000'000'000'000'000'000;
constexpr std::size_t kRequestLimit = 16 * 1024;
constexpr std::int64_t kChunk = 16 * 1024;
constexpr std::size_t kConnectionLimit = 200;

std::int64_t number(const std::map<std::string, std::string>& query, const std::string& key,
                    std::int64_t otherwise) {
    const auto it = query.find(key);
    if (it == query.end()) return otherwise;
    std::int64_t n = otherwise;
    std::from_chars(it->second.data(), it->second.data() + it->second.size(), n);
    return n;
}

std::string headerValue(const std::string& head, const std::string& name) {
    std::size_t at = 0;
    while ((at = head.find("\r\n", at)) != std::string::npos) {
        at += 2;
        if (head.size() - at < name.size() + 1) break;
        bool same = head[at + name.size()] == ':';
        for (std::size_t i = 0; same && i < name.size(); ++i)
            same = std::tolower(static_cast<unsigned char>(head[at + i])) == name[i];
        if (!same) continue;
        std::size_t from = at + name.size() + 1;
        while (from < head.size() && head[from] == ' ') ++from;
        return head.substr(from, head.find("\r\n", from) - from);
    }
    return {};
}

bool sendAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

unsigned char hostileByte(std::int64_t i, int version) {
    return static_cast<unsigned char>((i ^ (i >> 8) ^ (i >> 16)) * 167 + 13 + 101 * (version - 1));
}

std::string hostileFile(std::int64_t size, int version) {
    std::string bytes(static_cast<std::size_t>(size), '\0');
    for (std::int64_t i = 0; i < size; ++i)
        bytes[static_cast<std::size_t>(i)] = static_cast<char>(hostileByte(i, version));
    return bytes;
}

struct HostileServer::Request {
    std::string target;
    std::string id;
    std::map<std::string, std::string> query;
    std::string range;
    std::string ifRange;
};

HostileServer::HostileServer(Now now, std::string sentLog, int port)
    : now_(std::move(now)), sentLog_(std::move(sentLog)) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 128) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0) ::close(fd);
        return;
    }
    listenFd_ = fd;
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { acceptLoop(); });
}

HostileServer::~HostileServer() {
    stop_ = true;
    if (acceptor_.joinable()) acceptor_.join();
    if (listenFd_ >= 0) ::close(listenFd_);
    std::unique_lock lock(mutex_);
    for (const int fd : open_) ::shutdown(fd, SHUT_RDWR);
    closed_.wait(lock, [this] { return open_.empty(); });
}

std::string HostileServer::url(const std::string& pathAndQuery) const {
    return "http://127.0.0.1:" + std::to_string(port_) + pathAndQuery;
}

std::vector<std::pair<std::int64_t, std::int64_t>> HostileServer::ranges(
    const std::string& id) const {
    std::lock_guard lock(mutex_);
    const auto it = files_.find(id);
    return it == files_.end() ? std::vector<std::pair<std::int64_t, std::int64_t>>{}
                              : it->second.ranges;
}

void HostileServer::back(const std::string& id) {
    std::lock_guard lock(mutex_);
    File& f = files_[id];
    f.goneForGood = false;
    f.goneUntil = {};
}

bool HostileServer::gone(const std::string& id) {
    const File& f = files_[id];
    return f.goneForGood || (f.outageBegun && now_() < f.goneUntil);
}

void HostileServer::acceptLoop() {
    while (!stop_) {
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        std::lock_guard lock(mutex_);
        if (open_.size() >= kConnectionLimit) {
            ::close(fd);  // a client that keeps reconnecting gets no thread of its own
            continue;
        }
        open_.insert(fd);
        // Detached: the destructor waits for open_ to empty, which is each thread's last step.
        std::thread([this, fd] { serve(fd); }).detach();
    }
}

void HostileServer::serve(int fd) {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < kRequestLimit && !stop_) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 2000) <= 0) break;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        head.append(buffer, static_cast<std::size_t>(n));
    }
    Request request;
    const std::size_t sp = head.find(' ');
    const std::size_t sp2 = sp == std::string::npos ? sp : head.find(' ', sp + 1);
    if (sp2 != std::string::npos) {
        request.target = head.substr(sp + 1, sp2 - sp - 1);
        const std::size_t q = request.target.find('?');
        request.id = request.target.substr(0, q);
        if (q != std::string::npos) {
            std::string rest = request.target.substr(q + 1);
            std::size_t at = 0;
            while (at <= rest.size()) {
                std::size_t amp = rest.find('&', at);
                if (amp == std::string::npos) amp = rest.size();
                const std::string part = rest.substr(at, amp - at);
                const std::size_t eq = part.find('=');
                if (eq != std::string::npos)
                    request.query[part.substr(0, eq)] = part.substr(eq + 1);
                at = amp + 1;
            }
        }
        if (request.query.count("id")) request.id = request.query["id"];
        request.range = headerValue(head, "range");
        request.ifRange = headerValue(head, "if-range");
        bool refused;
        {
            std::lock_guard lock(mutex_);
            refused = gone(request.id);
            if (refused) ++files_[request.id].requests;
        }
        if (!refused) answer(fd, request);  // a server that is gone closes without a word
    }
    std::lock_guard lock(mutex_);
    open_.erase(fd);
    ::close(fd);
    closed_.notify_all();
}

void HostileServer::answer(int fd, const Request& r) {
    const auto& q = r.query;
    int version = 1;
    {
        std::lock_guard lock(mutex_);
        const int n = ++files_[r.id].requests;
        const std::int64_t change = number(q, "change", 0);
        if (change > 0 && n >= change)
            version = number(q, "changes", 0) ? 2 + static_cast<int>(n - change) : 2;
    }
    if (q.count("redirect")) {
        const std::string moved =
            "HTTP/1.1 302 Found\r\nLocation: ftp://127.0.0.1/song.mp3\r\nContent-Length: "
            "0\r\nConnection: close\r\n\r\n";
        sendAll(fd, moved.data(), moved.size());
        return;
    }
    const std::int64_t size = number(q, "size", 1 << 20);
    const bool absurd = number(q, "absurd", 0) != 0;
    const std::string etag = "\"v" + std::to_string(version) + "\"";
    const bool wholeNewFile =
        number(q, "ifrange", 0) != 0 && !r.ifRange.empty() && r.ifRange != etag;
    std::int64_t first = 0;
    std::int64_t length = size;
    std::string status = "200 OK";
    std::string extra;
    if (!r.range.empty() && !wholeNewFile && r.range.starts_with("bytes=")) {
        std::int64_t start = 0;
        std::int64_t end = size - 1;
        const char* p = r.range.data() + 6;
        const char* stop = r.range.data() + r.range.size();
        auto [afterStart, ec] = std::from_chars(p, stop, start);
        if (ec == std::errc() && afterStart < stop && *afterStart == '-' && afterStart + 1 < stop)
            std::from_chars(afterStart + 1, stop, end);
        if (start >= size) {
            const std::string refused =
                "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: "
                "bytes */" +
                std::to_string(size) + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
            sendAll(fd, refused.data(), refused.size());
            return;
        }
        end = std::min(end, size - 1);
        {
            std::lock_guard lock(mutex_);
            files_[r.id].ranges.emplace_back(start, end);
        }
        first = start;
        length = end - start + 1;
        status = "206 Partial Content";
        extra = "Content-Range: bytes " + std::to_string(start) + "-" + std::to_string(end) + "/" +
                std::to_string(absurd ? kAbsurdLength : size) + "\r\n";
    }
    if (q.count("encoding")) extra += "Content-Encoding: " + q.at("encoding") + "\r\n";
    const std::string headers =
        "HTTP/1.1 " + status + "\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
        std::to_string(absurd ? kAbsurdLength : length) + "\r\nETag: " + etag +
        "\r\nAccept-Ranges: bytes\r\n" + extra + "Connection: close\r\n\r\n";
    if (!sendAll(fd, headers.data(), headers.size())) return;

    const std::int64_t rate = number(q, "rate", 0);
    const std::int64_t perAnswer = number(q, "peranswer", -1);
    const std::int64_t goneAt = number(q, "goneat", -1);
    const std::int64_t goneFor = number(q, "gonefor", 0);
    const bool anyAnswerCounts = q.count("goneof") && q.at("goneof") == "all";
    const std::int64_t body = absurd ? std::min<std::int64_t>(length, 65536) : length;
    const std::int64_t limit = perAnswer >= 0 ? std::min(body, perAnswer) : body;
    // Paced answers go in pieces of a hundredth of a second: a probe cut off after its first
    // piece costs little.
    const std::int64_t chunk = rate > 0 ? std::max<std::int64_t>(rate / 100, 1) : kChunk;
    const auto began = std::chrono::steady_clock::now();
    std::int64_t sent = 0;
    while (sent < limit && !stop_) {
        if (rate > 0)
            std::this_thread::sleep_until(began + std::chrono::microseconds(sent * 1000000 / rate));
        {
            std::lock_guard lock(mutex_);
            if (gone(r.id)) break;  // cut in the middle
        }
        const std::int64_t n = std::min(chunk, limit - sent);
        std::string piece(static_cast<std::size_t>(n), '\0');
        for (std::int64_t i = 0; i < n; ++i)
            piece[static_cast<std::size_t>(i)] =
                static_cast<char>(hostileByte(first + sent + i, version));
        if (!sendAll(fd, piece.data(), piece.size())) break;
        sent += n;
        std::lock_guard lock(mutex_);
        File& f = files_[r.id];
        f.sent += n;
        if (!r.range.empty()) f.sentRanged += n;
        if (goneAt >= 0 && !f.outageBegun && (anyAnswerCounts ? f.sent : f.sentRanged) >= goneAt) {
            f.outageBegun = true;
            f.goneForGood = goneFor < 0;
            f.goneUntil = now_() + std::chrono::milliseconds(goneFor);
        }
    }
    log(sent, r.target);
}

void HostileServer::log(std::int64_t bytes, const std::string& target) {
    if (sentLog_.empty()) return;
    std::lock_guard lock(mutex_);
    std::ofstream(sentLog_, std::ios::app) << bytes << ' ' << target << '\n';
}

}  // namespace melorin::testing
