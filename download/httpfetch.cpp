#include "download/httpfetch.h"

#include <curl/curl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "download/retryrule.h"

namespace melorin::download {
namespace {

void initCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char a = s[i], b = prefix[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a + 32);
        if (a != b) return false;
    }
    return true;
}

std::string_view headerValue(std::string_view line, std::size_t nameLength) {
    line.remove_prefix(nameLength);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n' || line.back() == ' '))
        line.remove_suffix(1);
    return line;
}

// The headers of the answer being received; reset at every status line, so
// after redirects it holds the final answer's headers.
struct AnswerHeaders {
    int status = 0;
    std::int64_t contentLength = -1;
    std::optional<ContentRange> range;
    bool complete = false;

    void take(std::string_view line) {
        if (line.starts_with("HTTP/")) {
            *this = AnswerHeaders{};
            auto sp = line.find(' ');
            if (sp != std::string_view::npos && line.size() >= sp + 4)
                std::from_chars(line.data() + sp + 1, line.data() + sp + 4, status);
        } else if (startsWithNoCase(line, "content-length:")) {
            auto v = headerValue(line, 15);
            std::int64_t n = -1;
            auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
            contentLength = (ec == std::errc() && p == v.data() + v.size() && n >= 0) ? n : -1;
        } else if (startsWithNoCase(line, "content-range:")) {
            range = parseContentRange(headerValue(line, 14));
        } else if (line == "\r\n" || line == "\n") {
            complete = true;
        }
    }
};

int onProgress(void* p, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<const std::atomic<bool>*>(p)->load() ? 1 : 0;
}

struct Easy {
    CURL* h = nullptr;
    curl_slist* headers = nullptr;
    Easy(const std::string& url, const FetchOptions& o, const std::atomic<bool>& cancel) {
        initCurlOnce();
        h = curl_easy_init();
        headers = curl_slist_append(nullptr, kAcceptHeader);
        curl_easy_setopt(h, CURLOPT_URL, url.c_str());
        curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(h, CURLOPT_USERAGENT, kUserAgent);
        curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(h, CURLOPT_MAXREDIRS, o.maxRedirects);
        curl_easy_setopt(h, CURLOPT_NOPROXY, "localhost,127.0.0.1,::1");
        curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(o.connectTimeout.count()));
        curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, o.stallSeconds);
        curl_easy_setopt(h, CURLOPT_BUFFERSIZE, 256L * 1024);
        curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, onProgress);
        curl_easy_setopt(h, CURLOPT_XFERINFODATA, &cancel);
    }
    ~Easy() {
        curl_easy_cleanup(h);
        curl_slist_free_all(headers);
    }
    Easy(const Easy&) = delete;
    Easy& operator=(const Easy&) = delete;
};

std::string statusReason(int status) {
    return "服务器回答 HTTP " + std::to_string(status);
}

// Probe: remember the headers, stop at the end of the final answer's headers.
struct ProbeState {
    AnswerHeaders answer;
    bool finalSeen = false;
};

size_t probeHeader(char* data, size_t size, size_t n, void* p) {
    auto* s = static_cast<ProbeState*>(p);
    std::size_t len = size * n;
    s->answer.take(std::string_view(data, len));
    if (s->answer.complete) {
        int st = s->answer.status;
        if (st >= 100 && st < 200) return len;  // interim answer, more follows
        if (st >= 300 && st < 400) return len;  // curl follows it
        s->finalSeen = true;
        return 0;  // cut off at the begin of the body
    }
    return len;
}

size_t refuseBody(char*, size_t, size_t, void*) {
    return 0;
}

}  // namespace

ProbeResult probeSize(const std::string& url, const FetchOptions& options,
                      const std::atomic<bool>& cancel) {
    ProbeResult r;
    Easy easy(url, options, cancel);
    ProbeState state;
    curl_easy_setopt(easy.h, CURLOPT_HEADERFUNCTION, probeHeader);
    curl_easy_setopt(easy.h, CURLOPT_HEADERDATA, &state);
    curl_easy_setopt(easy.h, CURLOPT_WRITEFUNCTION, refuseBody);
    CURLcode code = curl_easy_perform(easy.h);
    if (!state.finalSeen) {
        r.reason =
            cancel ? std::string("已停止") : std::string("连接失败：") + curl_easy_strerror(code);
        return r;
    }
    r.status = state.answer.status;
    r.length = state.answer.contentLength;
    if (r.status != 200) {
        r.reason = statusReason(r.status);
    } else if (r.length <= 0) {
        r.reason = "服务器没有告知文件大小";
    } else {
        r.ok = true;
    }
    return r;
}

namespace {

// Bytes of an answer are gathered and written in large pieces: curl hands them over 16 KiB at
// a time, and one pwrite per piece would cost a system call and a file lock each.
constexpr std::size_t kWriteBatch = 512 * 1024;
// ...but never held back longer than this, so the progress shown and the bytes on disk keep up
// with a slow connection.
constexpr auto kWriteDelay = std::chrono::milliseconds(50);

// One worker's progress over the attempts for its segment.
struct SegmentRun {
    const Segment& segment;
    int worker;
    FileSink& sink;
    const std::atomic<bool>& cancel;
    const std::function<void(std::int64_t)>& onBytes;
    std::int64_t pos;      // first byte not yet received
    std::int64_t written;  // first byte not yet on disk; pending holds [written, pos)
    std::int64_t target;   // done when pos reaches it
    std::int64_t delivered = 0;
    bool owner = false;  // fetching the whole body of a range-ignoring server
    std::vector<char> pending;
    std::chrono::steady_clock::time_point pendingSince{};

    SegmentRun(const Segment& s, int w, FileSink& fs, const std::atomic<bool>& c,
               const std::function<void(std::int64_t)>& b)
        : segment(s),
          worker(w),
          sink(fs),
          cancel(c),
          onBytes(b),
          pos(s.start),
          written(s.start),
          target(s.ownEnd) {}

    // per attempt
    AnswerHeaders answer;
    enum class Mode { Undecided, Write, Covered, Rejected } mode = Mode::Undecided;
    std::int64_t bodyOffset = 0;
    std::int64_t limit = 0;
    std::int64_t requestStart = 0;
    std::int64_t requestEnd = 0;
    std::string reason;
    bool permanent = false;

    void decide() {
        const std::int64_t total = sink.total;
        if (answer.status == 206) {
            if (answer.range &&
                rangeAnswerMatches(*answer.range, requestStart, requestEnd, total)) {
                mode = Mode::Write;
                bodyOffset = answer.range->first;
                limit = answer.range->last + 1;
            } else {
                mode = Mode::Rejected;
                reason = "服务器回答的范围与请求不符";
            }
        } else if (answer.status == 200) {
            if (answer.contentLength >= 0 && answer.contentLength != total) {
                mode = Mode::Rejected;
                reason = "文件大小已经改变";
                permanent = true;
                return;
            }
            int expected = -1;
            if (owner || sink.wholeBodyOwner.compare_exchange_strong(expected, worker)) {
                if (!owner) {
                    owner = true;
                    flush();
                    pos = written = 0;
                    target = total;
                }
                mode = Mode::Write;
                bodyOffset = 0;
                limit = total;
            } else {
                mode = Mode::Covered;
            }
        } else {
            mode = Mode::Rejected;
            reason = statusReason(answer.status);
            permanent = !isRetriedStatus(answer.status);
        }
    }

    // Writes the pending bytes at their offset; false (with the reason) when the disk refuses.
    bool flush() {
        const char* p = pending.data();
        std::size_t left = pending.size();
        while (left > 0) {
            ssize_t w = ::pwrite(sink.fd, p, left, written);
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) {
                reason = std::string("写入文件失败：") + std::strerror(w < 0 ? errno : ENOSPC);
                permanent = true;
                pending.clear();
                pos = written;  // what was not written was not received
                return false;
            }
            p += w;
            left -= static_cast<std::size_t>(w);
            written += w;
            delivered += w;
        }
        if (!pending.empty()) onBytes(delivered);
        pending.clear();
        return true;
    }

    std::size_t body(const char* data, std::size_t len) {
        if (mode == Mode::Undecided) decide();
        if (mode != Mode::Write || cancel.load(std::memory_order_relaxed)) return 0;
        std::int64_t off = bodyOffset;
        bodyOffset += static_cast<std::int64_t>(len);
        std::int64_t from = std::max(off, pos);
        std::int64_t to = std::min(off + static_cast<std::int64_t>(len), limit);
        if (off <= pos && to > from) {
            if (pending.empty()) {
                pending.reserve(kWriteBatch);
                pendingSince = std::chrono::steady_clock::now();
            }
            pending.insert(pending.end(), data + (from - off), data + (to - off));
            pos = to;
            if ((pending.size() >= kWriteBatch ||
                 std::chrono::steady_clock::now() - pendingSince >= kWriteDelay) &&
                !flush())
                return 0;
        }
        // Anything past the answer's range or the file's end is not ours.
        return bodyOffset > limit ? 0 : len;
    }
};

size_t segmentHeader(char* data, size_t size, size_t n, void* p) {
    static_cast<SegmentRun*>(p)->answer.take(std::string_view(data, size * n));
    return size * n;
}

size_t segmentBody(char* data, size_t size, size_t n, void* p) {
    return static_cast<SegmentRun*>(p)->body(data, size * n);
}

bool pause(std::chrono::milliseconds d, const std::atomic<bool>& cancel) {
    auto until = std::chrono::steady_clock::now() + d;
    while (std::chrono::steady_clock::now() < until) {
        if (cancel) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return !cancel;
}

}  // namespace

SegmentOutcome fetchSegment(const std::string& url, const Segment& segment, int worker,
                            FileSink& sink, const FetchOptions& options,
                            const std::atomic<bool>& cancel,
                            const std::function<void(std::int64_t)>& onBytes) {
    SegmentRun run(segment, worker, sink, cancel, onBytes);
    Easy easy(url, options, cancel);
    curl_easy_setopt(easy.h, CURLOPT_HEADERFUNCTION, segmentHeader);
    curl_easy_setopt(easy.h, CURLOPT_HEADERDATA, &run);
    curl_easy_setopt(easy.h, CURLOPT_WRITEFUNCTION, segmentBody);
    curl_easy_setopt(easy.h, CURLOPT_WRITEDATA, &run);
    int failures = 0;  // attempts in a row that delivered nothing
    for (;;) {
        if (cancel) return {SegmentResult::Cancelled, "已停止"};
        run.answer = AnswerHeaders{};
        run.mode = SegmentRun::Mode::Undecided;
        run.reason.clear();
        run.permanent = false;
        run.requestStart = run.pos;
        run.requestEnd = run.owner ? 0 : segment.requestEnd;
        const std::int64_t before = run.delivered;
        std::string range = rangeHeaderValue(run.requestStart, run.requestEnd);
        std::string curlRange = range.empty() ? std::string() : range.substr(6);
        curl_easy_setopt(easy.h, CURLOPT_RANGE, curlRange.empty() ? nullptr : curlRange.c_str());
        CURLcode code = curl_easy_perform(easy.h);
        run.flush();  // what arrived is kept, also when the transfer was cut or stopped

        if (cancel) return {SegmentResult::Cancelled, "已停止"};
        if (run.mode == SegmentRun::Mode::Covered) return {SegmentResult::Covered, {}};
        if (run.pos >= run.target && run.written >= run.target) {
            if (run.owner) sink.wholeBodyDone = true;
            return {SegmentResult::Complete, {}};
        }
        std::string lastReason;
        if (!run.reason.empty()) {
            lastReason = run.reason;
        } else if (code != CURLE_OK) {
            lastReason = std::string("传输中断：") + curl_easy_strerror(code);
        } else if (run.mode == SegmentRun::Mode::Undecided && run.answer.status != 0 &&
                   run.answer.status != 200 && run.answer.status != 206) {
            lastReason = statusReason(run.answer.status);  // error answer without a body
            run.permanent = !isRetriedStatus(run.answer.status);
        } else {
            lastReason = "服务器提前结束了回答";
        }
        AttemptEnd end{run.delivered > before, run.permanent, failures};
        switch (nextAttempt(end, options.maxResumes)) {
            case NextAttempt::Now:
                failures = 0;
                break;
            case NextAttempt::AfterPause:
                ++failures;
                if (!pause(retryPause(options.retryPause, failures), cancel))
                    return {SegmentResult::Cancelled, "已停止"};
                break;
            case NextAttempt::GiveUp:
                return {SegmentResult::Failed, lastReason};
        }
    }
}

}  // namespace melorin::download
