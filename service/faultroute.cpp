#include "service/faultroute.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

#include "service/byterange.h"
#include "service/faults.h"
#include "service/pages.h"
#include "service/routes.h"

namespace melorin::service {

using httplib::Request;
using httplib::Response;

bool FaultMemory::firstRanged(const std::string& id) {
    std::lock_guard lock(mutex_);
    if (spoiled_.size() > 100000) spoiled_.clear();
    return spoiled_.insert(id).second;
}

int FaultMemory::connectionNumber(const std::string& id, const std::string& connection) {
    std::lock_guard lock(mutex_);
    if (connections_.size() > 10000) connections_.clear();
    std::vector<std::string>& seen = connections_[id];
    auto it = std::find(seen.begin(), seen.end(), connection);
    if (it != seen.end()) return static_cast<int>(it - seen.begin()) + 1;
    if (seen.size() >= 1000) return 0;
    seen.push_back(connection);
    return static_cast<int>(seen.size());
}

namespace {

// Body bytes of one answer, logged when the last copy of the answer's provider goes: after the
// body ended, was cut, or the client went away.
struct SentCount {
    SentCount(RequestLog* log, std::string target) : log_(log), target_(std::move(target)) {}
    ~SentCount() {
        if (log_) log_->write(std::to_string(n) + " " + target_);
    }
    SentCount(const SentCount&) = delete;
    SentCount& operator=(const SentCount&) = delete;
    std::uint64_t n = 0;

private:
    RequestLog* log_;
    std::string target_;
};

// The raw query with "redirect=K" replaced by "redirect=K-1".
std::string nextRedirectQuery(const std::string& target, int next) {
    const auto q = target.find('?');
    std::string query = q == std::string::npos ? "" : target.substr(q + 1);
    std::string out;
    std::size_t start = 0;
    while (start <= query.size()) {
        auto amp = query.find('&', start);
        if (amp == std::string::npos) amp = query.size();
        std::string part = query.substr(start, amp - start);
        if (part.rfind("redirect=", 0) == 0) part = "redirect=" + std::to_string(next);
        if (!part.empty()) out += (out.empty() ? "" : "&") + part;
        start = amp + 1;
    }
    return out;
}

}  // namespace

void serveFault(const Request& req, Response& res, const std::string& host, FaultMemory& memory,
                RequestLog* sentLog) {
    std::string error;
    const auto fault = parseFaultRequest(req.params, error);
    if (!fault) {
        sendPage(res, errorPage(400, error), 400);
        return;
    }
    if (fault->status) {
        sendPage(res, errorPage(*fault->status, "fault file " + req.path), *fault->status);
        return;
    }
    if (fault->page) {
        sendPage(res, errorPage(200, "fault file " + req.path + " has expired"), 200);
        return;
    }
    if (fault->redirect > 0) {
        res.status = 302;
        res.set_header("Location", "http://" + host + req.path + "?" +
                                       nextRedirectQuery(req.target, fault->redirect - 1));
        res.set_content("redirect\n", "text/plain");
        return;
    }
    // "once" spoils only the first answer to a ranged request per id: a size probe (no Range)
    // does not use it up.
    const bool ranged = req.has_header("Range");
    const bool spoiled = fault->once ? ranged && memory.firstRanged(fault->id) : true;
    if (fault->rangedStatus && ranged && spoiled) {
        sendPage(res, errorPage(*fault->rangedStatus, "fault file " + req.path),
                 *fault->rangedStatus);
        return;
    }

    std::uint64_t first = 0;
    std::uint64_t length = fault->size;
    res.status = 200;
    res.set_header("Accept-Ranges", "bytes");
    const std::string etag =
        "\"" + std::to_string(fault->size) + "-" + std::to_string(fault->version) + "\"";
    res.set_header("ETag", etag);
    // If-Range naming another version asks for the whole (new) file.
    const bool sameVersion =
        !req.has_header("If-Range") || req.get_header_value("If-Range") == etag;
    if (!fault->norange && sameVersion) {
        const RangeAnswer range = answerRange(req.get_header_value("Range"), fault->size);
        if (range.kind == RangeAnswer::Kind::Unsatisfiable) {
            res.set_header("Content-Range", "bytes */" + std::to_string(fault->size));
            sendPage(res, errorPage(416, "请求的范围超出文件长度"), 416);
            return;
        }
        if (range.kind == RangeAnswer::Kind::Partial) {
            first = range.first;
            length = range.last - range.first + 1;
            res.status = 206;
            res.set_header("Content-Range", "bytes " + std::to_string(range.first) + "-" +
                                                std::to_string(range.last) + "/" +
                                                std::to_string(fault->size));
        }
    }

    const bool cut = fault->cut && spoiled;
    const std::uint64_t total = length + (fault->nolength ? 0 : fault->longer);
    const std::uint64_t stopAt = cut ? std::min(*fault->cut, total) : total;
    if (cut || fault->longer > 0) res.set_header("Connection", "close");
    std::uint64_t rate = fault->rate;
    if (fault->slowConn > 0 && fault->slowRate > 0 &&
        memory.connectionNumber(
            fault->id, req.remote_addr + ":" + std::to_string(req.remote_port)) == fault->slowConn)
        rate = fault->slowRate;
    // Paced answers go in pieces of a twentieth of a second.
    const std::uint64_t chunk = fault->trickle > 0 ? fault->trickle
                                : rate > 0         ? std::max<std::uint64_t>(rate / 20, 1)
                                                   : 65536;
    const bool trickle = fault->trickle > 0;
    const auto began = std::chrono::steady_clock::now();

    // Writes the next piece; false ends the answer by closing the connection.
    auto sent = std::make_shared<SentCount>(sentLog, req.target);
    auto step = [first, stopAt, total, chunk, trickle, rate, began, cut, sent](
                    httplib::DataSink& sink, bool chunked) {
        if (sent->n >= stopAt) {
            if (cut && stopAt < total) return false;
            if (chunked) sink.done();
            return true;
        }
        if (trickle && sent->n > 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (rate > 0)
            std::this_thread::sleep_until(began +
                                          std::chrono::microseconds(sent->n * 1000000 / rate));
        if (!sink.is_writable()) return false;
        const std::uint64_t n = std::min(chunk, stopAt - sent->n);
        const std::string piece = faultBytes(first + sent->n, n);
        if (!sink.write(piece.data(), piece.size())) return false;
        sent->n += n;
        if (sent->n >= stopAt && cut && stopAt < total) return false;
        return true;
    };

    const char* type = "application/octet-stream";
    if (fault->nolength) {
        res.set_chunked_content_provider(
            type, [step](std::size_t, httplib::DataSink& sink) { return step(sink, true); });
    } else {
        // With "longer" the last piece runs past the announced length; cpp-httplib writes it
        // as given.
        res.set_content_provider(length, type,
                                 [step](std::size_t, std::size_t, httplib::DataSink& sink) {
                                     return step(sink, false);
                                 });
    }
}

}  // namespace melorin::service
