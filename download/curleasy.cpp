#include "download/curleasy.h"

#include <charconv>
#include <mutex>

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

int onProgress(void* p, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<const std::atomic<bool>*>(p)->load(std::memory_order_relaxed) ? 1 : 0;
}

// Larger reads mean fewer system calls and wake-ups per byte (curl's own default is 16 KiB).
constexpr long kReceiveBuffer = 512L * 1024;

// "scheme://host:port" in lower case, the port spelled out; empty for what curl cannot parse.
std::string originOf(const std::string& url) {
    CURLU* u = curl_url();
    std::string origin;
    if (curl_url_set(u, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK) {
        char* scheme = nullptr;
        char* host = nullptr;
        char* port = nullptr;
        if (curl_url_get(u, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
            curl_url_get(u, CURLUPART_HOST, &host, 0) == CURLUE_OK &&
            curl_url_get(u, CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK)
            origin = std::string(scheme) + "://" + host + ":" + port;
        curl_free(scheme);
        curl_free(host);
        curl_free(port);
    }
    curl_url_cleanup(u);
    for (char& c : origin)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return origin;
}

}  // namespace

std::string userAgentFor(const std::string& url, const FetchOptions& options) {
    if (options.ownName.empty() || options.ownNameOrigins.empty()) return kUserAgent;
    const std::string origin = originOf(url);
    if (origin.empty()) return kUserAgent;
    for (const std::string& own : options.ownNameOrigins)
        if (originOf(own) == origin) return options.ownName;
    return kUserAgent;
}

void AnswerHeaders::take(std::string_view line) {
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
    } else if (startsWithNoCase(line, "content-type:")) {
        contentType = std::string(headerValue(line, 13));
    } else if (startsWithNoCase(line, "etag:")) {
        etag = std::string(headerValue(line, 5));
    } else if (startsWithNoCase(line, "last-modified:")) {
        lastModified = std::string(headerValue(line, 14));
    } else if (startsWithNoCase(line, "content-encoding:")) {
        contentEncoding = std::string(headerValue(line, 17));
    } else if (line == "\r\n" || line == "\n") {
        complete = true;
    }
}

std::string AnswerHeaders::validator() const {
    // A weak ETag ("W/...") cannot be used with If-Range; nor can anything with control bytes.
    auto usable = [](const std::string& v) {
        if (v.empty() || v.size() > 200) return false;
        for (char c : v)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
        return true;
    };
    if (usable(etag) && etag.front() == '"') return etag;
    if (usable(lastModified)) return lastModified;
    return {};
}

bool AnswerHeaders::encoded() const {
    return !contentEncoding.empty() && !startsWithNoCase(contentEncoding, "identity");
}

Easy::Easy(const std::string& url, const FetchOptions& o, const std::atomic<bool>& cancel) {
    initCurlOnce();
    h = curl_easy_init();
    setIfRange({});
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_USERAGENT, userAgentFor(url, o).c_str());
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, o.maxRedirects);
    curl_easy_setopt(h, CURLOPT_NOPROXY, "localhost,127.0.0.1,::1");
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(o.connectTimeout.count()));
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, o.stallSeconds);
    curl_easy_setopt(h, CURLOPT_BUFFERSIZE, kReceiveBuffer);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &cancel);
}

Easy::~Easy() {
    curl_easy_cleanup(h);
    curl_slist_free_all(headers);
}

void Easy::setIfRange(const std::string& ifRange) {
    curl_slist* list = curl_slist_append(nullptr, kAcceptHeader);
    list = curl_slist_append(list, kAcceptEncodingHeader);
    if (!ifRange.empty()) list = curl_slist_append(list, ("If-Range: " + ifRange).c_str());
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, list);
    curl_slist_free_all(headers);
    headers = list;
}

std::string statusReason(int status) {
    return "服务器回答 HTTP " + std::to_string(status);
}

}  // namespace melorin::download
