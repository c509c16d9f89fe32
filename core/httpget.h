#pragma once
// A small asynchronous HTTP GET client for text and bytes, on the Qt event loop of the thread
// that owns it. The music catalogues' searches use it; so can anything else that needs an
// answer whole in memory (not downloads: those are the download core's).
//
// Promises: requests queue in order and at most `maxRunning` run at once; every request sends
// the one User-Agent; redirects are followed (http and https only, never from https to http,
// at most `maxRedirects`); a request ends exactly once, with its body or with a failure that
// says why, unless it was cancelled: a cancelled request's callback never runs. Callbacks run
// from the event loop, never inside get(); a callback may call get() and cancel().
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace melorin::core {

struct HttpGetOptions {
    std::string userAgent;
    int maxRunning = 4;
    std::chrono::milliseconds stallTimeout{20000};  // no byte (or header) for this long
    std::chrono::milliseconds totalTimeout{90000};  // the whole answer
    int maxRedirects = 5;
    std::int64_t maxBodyBytes = std::int64_t{32} << 20;
};

enum class GetFailure {
    None,
    Unreachable,  // no connection: host unknown, refused, no network
    TimedOut,
    HttpStatus,  // the server answered 4xx or 5xx; the body is kept
    TooLarge,    // the body passed maxBodyBytes
    Refused,     // not an http(s) address, or a redirect that leaves http(s) or lowers https
    Broken,      // anything else: the connection broke, a TLS failure, too many redirects …
};

struct GetAnswer {
    GetFailure failure = GetFailure::None;
    int status = 0;  // the last HTTP status seen; 0 when none arrived
    std::string body;
    std::string contentType;
    std::string finalAddress;  // after redirects
    std::string reason;        // for a failure: what went wrong, for logs (UTF-8)

    [[nodiscard]] bool ok() const { return failure == GetFailure::None; }
};

class HttpGet {
public:
    using Ticket = std::uint64_t;
    using Done = std::function<void(const GetAnswer&)>;
    // Bytes of the body received so far, and its announced length (-1 when unknown).
    using Progress = std::function<void(std::int64_t received, std::int64_t total)>;

    explicit HttpGet(HttpGetOptions options);
    // Ends every request; no callback runs.
    ~HttpGet();
    HttpGet(const HttpGet&) = delete;
    HttpGet& operator=(const HttpGet&) = delete;

    // Queues a GET of `address`, an absolute http or https address in its encoded (ASCII) form.
    // `progress`, when given, runs from the event loop as the body arrives, never after `done`.
    Ticket get(const std::string& address, Done done, Progress progress = {});
    void cancel(Ticket ticket);
    void cancelAll();

    [[nodiscard]] int running() const;
    [[nodiscard]] int waiting() const;
    [[nodiscard]] const HttpGetOptions& options() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

}  // namespace melorin::core
