#pragma once
// One curl handle set up as every request of the download core needs it, and the headers of
// the answer it receives. Internal to the download core.
#include <curl/curl.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "download/httpfetch.h"
#include "download/segmentplan.h"

namespace melorin::download {

// The headers of the answer being received; reset at every status line, so after redirects
// it holds the final answer's headers.
struct AnswerHeaders {
    int status = 0;
    std::int64_t contentLength = -1;
    std::optional<ContentRange> range;
    std::string contentType;
    std::string etag;
    std::string lastModified;
    std::string contentEncoding;
    bool complete = false;

    void take(std::string_view line);
    // What a later request names in If-Range: a strong ETag, else Last-Modified, else "".
    std::string validator() const;
    // The body is not the file's bytes as they are (gzip, say).
    bool encoded() const;
};

// Stops the transfer soon after `cancel` becomes true; follows up to maxRedirects redirects,
// http and https only; cuts a transfer that stalls for stallSeconds.
struct Easy {
    CURL* h = nullptr;
    curl_slist* headers = nullptr;
    Easy(const std::string& url, const FetchOptions& options, const std::atomic<bool>& cancel);
    ~Easy();
    Easy(const Easy&) = delete;
    Easy& operator=(const Easy&) = delete;
    // The request headers: Accept and Accept-Encoding, plus If-Range when `ifRange` is not empty.
    void setIfRange(const std::string& ifRange);
};

std::string statusReason(int status);

}  // namespace melorin::download
