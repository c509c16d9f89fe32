#include "download/httpfetch.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

#include "download/contentcheck.h"
#include "download/curleasy.h"
#include "download/retryrule.h"

namespace melorin::download {
namespace {

// Probe: remember the final answer's headers and the first piece of its body, then stop.
struct ProbeState {
    AnswerHeaders answer;
    bool finalSeen = false;
    std::int64_t bodyBytes = 0;
    std::string head;
};

std::string encodedReason(const std::string& encoding) {
    return "服务器发来的是编码过的数据（" + encoding + "），不是文件本身";
}

size_t probeHeader(char* data, size_t size, size_t n, void* p) {
    auto* s = static_cast<ProbeState*>(p);
    std::size_t len = size * n;
    s->answer.take(std::string_view(data, len));
    if (s->answer.complete) {
        int st = s->answer.status;
        if (st >= 100 && st < 200) return len;  // interim answer, more follows
        if (st >= 300 && st < 400) return len;  // curl follows it
        s->finalSeen = true;
        if (st != 200 || s->answer.contentLength < 0 || s->answer.encoded())
            return 0;  // nothing to look at
    }
    return len;
}

// Whatever came first of the body is enough to tell a web page from a song.
size_t probeBody(char* data, size_t size, size_t n, void* p) {
    auto* s = static_cast<ProbeState*>(p);
    s->bodyBytes += static_cast<std::int64_t>(size * n);
    s->head.append(data, std::min(size * n, kSniffBytes - s->head.size()));
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
    curl_easy_setopt(easy.h, CURLOPT_WRITEFUNCTION, probeBody);
    curl_easy_setopt(easy.h, CURLOPT_WRITEDATA, &state);
    CURLcode code = curl_easy_perform(easy.h);
    if (!state.finalSeen) {
        // A redirect the program will not follow can never lead to the file.
        r.hopeless = code == CURLE_UNSUPPORTED_PROTOCOL || code == CURLE_TOO_MANY_REDIRECTS;
        r.reason = cancel ? std::string("已停止")
                   : code == CURLE_UNSUPPORTED_PROTOCOL
                       ? std::string("服务器把下载转到了不是网页的地址")
                       : std::string("连接失败：") + curl_easy_strerror(code);
        return r;
    }
    r.status = state.answer.status;
    r.length = state.answer.contentLength;
    r.bodyBytes = state.bodyBytes;
    r.head = std::move(state.head);
    r.contentType = state.answer.contentType;
    r.validator = state.answer.validator();
    if (r.status != 200) {
        r.reason = statusReason(r.status);
        r.hopeless = !isRetriedStatus(r.status);
    } else if (state.answer.encoded()) {
        r.reason = encodedReason(state.answer.contentEncoding);
        r.hopeless = true;
    } else if (r.length < 0) {
        r.reason = "服务器没有告知文件大小";
        r.hopeless = true;
    } else if (state.bodyBytes == 0 && r.length > 0 && cancel) {
        r.reason = "已停止";
    } else {
        r.ok = true;
    }
    return r;
}

SharedPart::SharedPart(int fd_, std::int64_t total_, std::string validator_,
                       std::vector<ByteRange> resumed_, std::vector<Piece> pieces_, int workers_)
    : fd(fd_),
      total(total_),
      validator(std::move(validator_)),
      resumed(mergeRanges(std::move(resumed_))),
      requestsLeft(requestAllowance(total_)),
      pieces(std::move(pieces_)),
      workers(static_cast<std::size_t>(workers_)) {}

std::vector<ByteRange> SharedPart::received() {
    std::vector<ByteRange> ranges = resumed;
    {
        std::lock_guard lock(mutex);
        for (const ByteRange& r : receivedRanges(pieces)) ranges.push_back(r);
    }
    return mergeRanges(std::move(ranges));
}

bool SharedPart::complete() {
    std::lock_guard lock(mutex);
    return std::all_of(pieces.begin(), pieces.end(),
                       [](const Piece& p) { return p.done >= p.end; });
}

void SharedPart::fail(std::string reason, FileOutcome::Verdict verdict) {
    {
        std::lock_guard lock(mutex);
        if (!failure.empty()) return;
        failure = std::move(reason);
        failureVerdict = verdict;
    }
    cancel = true;
}

namespace {

// Bytes of an answer are gathered and written in large pieces: curl hands them over 16 KiB at
// a time, and one pwrite per piece would cost a system call and a file lock each.
constexpr std::size_t kWriteBatch = 512 * 1024;
// ...but never held back longer than this, so the progress shown, the bytes on disk and the
// state file keep up with a slow connection.
constexpr auto kWriteDelay = std::chrono::milliseconds(25);
// A worker's speed is known once it has worked this long on its piece, or sooner once this
// much of it has arrived (a fast connection is not split for want of a measure).
constexpr auto kRateAfter = std::chrono::milliseconds(200);
constexpr std::int64_t kRateBytes = 256 * 1024;

// One worker of a file: its current piece and the attempts for it.
struct WorkerRun {
    SharedPart& part;
    Clock& clock;
    const int worker;
    const std::function<void(std::int64_t)>& onBytes;
    std::size_t index = 0;  // of its piece in part.pieces, valid for `generation`
    int generation = 0;
    std::int64_t pos = 0;      // first byte not yet received
    std::int64_t written = 0;  // first byte not yet on disk; pending holds [written, pos)
    std::int64_t delivered = 0;
    bool owner = false;  // fetching the whole body of a range-ignoring server
    std::vector<char> pending;
    Clock::TimePoint pendingSince{};

    // per attempt
    AnswerHeaders answer;
    enum class Mode { Undecided, Write, Covered, Rejected } mode = Mode::Undecided;
    std::int64_t bodyOffset = 0;
    std::int64_t limit = 0;
    std::int64_t requestStart = 0;
    std::int64_t requestEnd = 0;
    std::string reason;
    bool permanent = false;  // no request of this run can mend it: the file fails
    FileOutcome::Verdict verdict = FileOutcome::Verdict::Failed;  // what it means for the file

    WorkerRun(SharedPart& p, Clock& c, int w, const std::function<void(std::int64_t)>& b)
        : part(p), clock(c), worker(w), onBytes(b) {}

    void startAttempt() {
        answer = AnswerHeaders{};
        mode = Mode::Undecided;
        reason.clear();
        permanent = false;
        verdict = FileOutcome::Verdict::Failed;
    }

    std::int64_t end() const {
        return owner ? part.total
                     : part.workers[static_cast<std::size_t>(worker)].end.load(
                           std::memory_order_relaxed);
    }

    // Under the lock: the next piece for this worker, or false when none is left for it.
    bool takeNext(bool split) {
        std::lock_guard lock(part.mutex);
        if (part.cancel || !part.failure.empty()) return false;
        if (part.wholeBodyOwner >= 0 && part.wholeBodyOwner != worker) return false;
        const auto now = clock.now();
        for (Piece& p : part.pieces) {
            if (p.worker < 0) continue;
            const SharedPart::Worker& w = part.workers[static_cast<std::size_t>(p.worker)];
            const auto spent = std::chrono::duration<double>(now - w.since).count();
            const std::int64_t got = p.done - w.doneAtStart;
            p.rate = (now - w.since < kRateAfter && got < kRateBytes) || spent <= 0
                         ? -1.0
                         : static_cast<double>(got) / spent;
        }
        const auto taken = takePiece(part.pieces, worker, split && !owner);
        if (!taken) return false;
        // A split lowered the end of another worker's piece: tell him while his request runs.
        for (const Piece& p : part.pieces)
            if (p.worker >= 0 && p.worker != worker)
                part.workers[static_cast<std::size_t>(p.worker)].end = p.end;
        index = *taken;
        generation = part.generation;
        const Piece& mine = part.pieces[index];
        SharedPart::Worker& me = part.workers[static_cast<std::size_t>(worker)];
        me.end = mine.end;
        me.since = now;
        me.doneAtStart = mine.done;
        pos = written = mine.done;
        return true;
    }

    // Under the lock: the piece is done with or given up.
    void release() {
        std::lock_guard lock(part.mutex);
        if (generation == part.generation && index < part.pieces.size() &&
            part.pieces[index].worker == worker)
            part.pieces[index].worker = -1;
    }

    void reject(std::string why, bool forGood, FileOutcome::Verdict meaning) {
        mode = Mode::Rejected;
        reason = std::move(why);
        permanent = forGood;
        verdict = meaning;
    }

    // Is this answer still the file the bytes on disk came from? Its total length (206: the
    // Content-Range's, 200: the Content-Length) and its validator must be the file's.
    bool sameFile() {
        const std::int64_t announced =
            answer.status == 206 ? (answer.range ? answer.range->total : -1) : answer.contentLength;
        if (answer.status == 416 || (announced >= 0 && announced != part.total)) {
            reject("服务器上的文件长度已经改变", true, FileOutcome::Verdict::Changed);
            return false;
        }
        if (!part.validator.empty() && answer.validator() != part.validator) {
            reject("服务器上的文件已经改变", true, FileOutcome::Verdict::Changed);
            return false;
        }
        return true;
    }

    // Decides, before the first byte of the body, whether it is written and where.
    void decide() {
        using Verdict = FileOutcome::Verdict;
        const std::int64_t total = part.total;
        if (answer.encoded()) {
            reject(encodedReason(answer.contentEncoding), true, Verdict::Refused);
        } else if ((answer.status == 200 || answer.status == 206 || answer.status == 416) &&
                   !sameFile()) {
            // rejected as a changed file
        } else if (answer.status == 206) {
            if (answer.range &&
                rangeAnswerMatches(*answer.range, requestStart, requestEnd, total)) {
                mode = Mode::Write;
                bodyOffset = answer.range->first;
                limit = answer.range->last + 1;
            } else {
                reject("服务器回答的范围与请求不符", false, Verdict::Failed);
            }
        } else if (answer.status == 200) {
            // Ranges ignored (or If-Range found the file changed): the whole body, from byte 0.
            if (!owner) {
                flush();
                std::lock_guard lock(part.mutex);
                if (part.wholeBodyOwner >= 0) {
                    mode = Mode::Covered;
                    return;
                }
                part.wholeBodyOwner = worker;
                part.pieces = {Piece{0, total, 0, worker}};
                generation = ++part.generation;
                index = 0;
                owner = true;
                pos = written = 0;
            }
            mode = Mode::Write;
            bodyOffset = 0;
            limit = total;
        } else {
            const bool retried = isRetriedStatus(answer.status);
            reject(statusReason(answer.status), !retried,
                   retried ? Verdict::Failed : Verdict::Refused);
        }
    }

    // Writes the pending bytes at their offset, up to the piece's end (a split may have lowered
    // it; what lies beyond is the next worker's); false (with the reason) when the disk refuses.
    bool flush() {
        if (generation != part.generation) pending.clear();  // no longer this worker's bytes
        const std::int64_t keep =
            std::clamp<std::int64_t>(end() - written, 0, static_cast<std::int64_t>(pending.size()));
        const char* p = pending.data();
        std::int64_t left = keep;
        bool ok = true;
        while (left > 0) {
            ssize_t w = ::pwrite(part.fd, p, static_cast<std::size_t>(left), written);
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) {
                // A full disk is not the server's doing: the row stays, for after a clean-up.
                reject(std::string("写入文件失败：") + std::strerror(w < 0 ? errno : ENOSPC), true,
                       FileOutcome::Verdict::Failed);
                ok = false;
                break;
            }
            p += w;
            left -= w;
            written += w;
            delivered += w;
        }
        pending.clear();
        pos = written;
        if (keep > 0) {
            {
                std::lock_guard lock(part.mutex);
                if (generation == part.generation && index < part.pieces.size())
                    part.pieces[index].done = std::max(part.pieces[index].done, written);
            }
            onBytes(delivered);
        }
        return ok;
    }

    std::size_t body(const char* data, std::size_t len) {
        if (mode == Mode::Undecided) decide();
        if (mode != Mode::Write || part.cancel.load(std::memory_order_relaxed)) return 0;
        if (generation != part.generation) return 0;  // another worker fetches the whole body
        const std::int64_t stop = std::min(limit, end());
        std::int64_t off = bodyOffset;
        bodyOffset += static_cast<std::int64_t>(len);
        std::int64_t from = std::max(off, pos);
        std::int64_t to = std::min(off + static_cast<std::int64_t>(len), stop);
        if (off <= pos && to > from) {
            if (pending.empty()) {
                pending.reserve(kWriteBatch);
                pendingSince = clock.now();
            }
            pending.insert(pending.end(), data + (from - off), data + (to - off));
            pos = to;
            if ((pending.size() >= kWriteBatch || clock.now() - pendingSince >= kWriteDelay) &&
                !flush())
                return 0;
        }
        // A split took the rest of the answer: let the connection go. The byte past a piece's
        // end is asked for anyway (the overlap) and read, so the connection can be kept.
        if (pos >= stop && limit > stop + 1) return 0;
        // Anything past the answer's range or the file's end is not ours.
        return bodyOffset > limit ? 0 : len;
    }

    // Why the attempt just made did not finish the piece.
    std::string attemptFailure(CURLcode code) const {
        if (!reason.empty()) return reason;
        if (code != CURLE_OK) return std::string("传输中断：") + curl_easy_strerror(code);
        return "服务器提前结束了回答";
    }
};

size_t workerHeader(char* data, size_t size, size_t n, void* p) {
    static_cast<WorkerRun*>(p)->answer.take(std::string_view(data, size * n));
    return size * n;
}

size_t workerBody(char* data, size_t size, size_t n, void* p) {
    return static_cast<WorkerRun*>(p)->body(data, size * n);
}

}  // namespace

WorkerOutcome runWorker(const std::string& url, int worker, SharedPart& part,
                        const FetchOptions& options,
                        const std::function<void(std::int64_t)>& onBytes) {
    WorkerRun run(part, *options.clock, worker, onBytes);
    Easy easy(url, options, part.cancel);
    curl_easy_setopt(easy.h, CURLOPT_HEADERFUNCTION, workerHeader);
    curl_easy_setopt(easy.h, CURLOPT_HEADERDATA, &run);
    curl_easy_setopt(easy.h, CURLOPT_WRITEFUNCTION, workerBody);
    curl_easy_setopt(easy.h, CURLOPT_WRITEDATA, &run);
    const WorkerOutcome cancelled{WorkerResult::Cancelled, "已停止"};
    while (run.takeNext(options.splitSlowPieces)) {
        int failures = 0;  // attempts in a row that delivered nothing
        for (;;) {
            if (part.cancel) return cancelled;
            run.startAttempt();
            run.requestStart = run.pos;
            run.requestEnd = run.owner ? 0 : run.end();
            if (!run.owner && run.requestStart >= run.requestEnd) break;  // split away meanwhile
            if (part.requestsLeft.fetch_sub(1) <= 0) {
                run.release();
                return {WorkerResult::Failed, "请求次数已达上限：服务器每次只给很少的数据就断开"};
            }
            const std::int64_t before = run.delivered;
            const std::string range = rangeHeaderValue(run.requestStart, run.requestEnd);
            const std::string curlRange = range.empty() ? std::string() : range.substr(6);
            curl_easy_setopt(easy.h, CURLOPT_RANGE,
                             curlRange.empty() ? nullptr : curlRange.c_str());
            // A resumed file must still be the one whose bytes are on disk.
            easy.setIfRange(range.empty() ? std::string() : part.validator);
            const CURLcode code = curl_easy_perform(easy.h);
            run.flush();  // what arrived is kept, also when the transfer was cut or stopped

            // An answer without a body is checked all the same (an error status, a changed file).
            if (run.mode == WorkerRun::Mode::Undecided && run.answer.complete) run.decide();
            if (run.mode == WorkerRun::Mode::Covered) return {WorkerResult::Covered, {}};
            if (run.mode != WorkerRun::Mode::Rejected && run.written >= run.end()) break;
            const std::string reason = run.attemptFailure(code);
            if (part.cancel && !run.permanent) return cancelled;
            const AttemptEnd end{run.delivered > before, run.permanent, failures};
            const NextAttempt next = nextAttempt(end, options.retry);
            if (next == NextAttempt::GiveUp) {
                run.release();  // another worker may still get it
                if (run.permanent) part.fail(reason, run.verdict);
                return {WorkerResult::Failed, reason};
            }
            if (next == NextAttempt::Now) {
                failures = 0;
            } else if (!options.clock->sleepFor(retryPause(options.retry, ++failures),
                                                part.cancel)) {
                return cancelled;
            }
        }
        run.release();
    }
    return {WorkerResult::Done, {}};
}

}  // namespace melorin::download
