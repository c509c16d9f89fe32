#pragma once
// The real network of the downloader: libcurl, one thread and one connection per
// segment, bytes written with pwrite at their offsets as they arrive.
#include "download/downloader.h"
#include "download/httpfetch.h"

namespace melorin::download {

class CurlNetwork final : public Network {
public:
    explicit CurlNetwork(FetchOptions options = {}) : options_(options) {}
    ProbeResult probe(const std::string& url, const std::atomic<bool>& cancel) override;
    std::unique_ptr<FileTransfer> start(const FileOrder& order, FileObserver& observer) override;

private:
    FetchOptions options_;
};

}  // namespace melorin::download
