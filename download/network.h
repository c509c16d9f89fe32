#pragma once
// The seam between the pass and the network: the size probe, and the transfer of one file
// whose .part the pass has prepared. CurlNetwork (curltransfer.h) is the real one; tests fake it.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "download/partfiles.h"
#include "download/segmentplan.h"

namespace melorin::download {

struct ProbeResult {
    bool ok = false;
    int status = 0;
    std::int64_t length = -1;    // announced body length; -1 when none was announced
    std::string reason{};        // why it failed, for the log (UTF-8)
    std::int64_t bodyBytes = 0;  // body bytes that arrived before the probe was cut off
    std::string head{};          // the first of them (at most kSniffBytes)
    std::string contentType{};
    std::string validator{};  // a strong ETag or Last-Modified, for If-Range; "" when none
    // Not ok, and no later attempt can mend it (a 4xx, a redirect to something that is not a web
    // address, an answer without a length or in an encoding): the row is refused for good.
    bool hopeless = false;
};

struct FileOrder {
    int queueRow = 0;
    int slot = 0;
    std::string url;
    std::shared_ptr<PartFile> file;  // the .part, open and locked; written at byte offsets
    std::int64_t size = 0;
    SegmentPlan plan;
    std::string validator;            // what every answer must still carry; "" when none
    std::string statePath;            // kept up to date while bytes arrive; "" for none
    std::vector<ByteRange> received;  // a resume: the bytes already in the .part
};

struct FileOutcome {
    enum class Verdict {
        Complete,  // every byte on disk, flushed
        Failed,    // stopped short; what arrived is on disk and named in the state file
        Refused,   // the server refuses it in a way no later attempt can mend
        Changed    // the server's file is another now than the one the bytes came from
    };
    Verdict verdict = Verdict::Failed;
    std::string reason{};
    std::string note{};  // something the log should say besides (a state file not written)

    bool complete() const { return verdict == Verdict::Complete; }
};

// What a running file tells the downloader; called on worker threads. Per file:
// workerBytes any number of times, workerEnded once per segment, then fileEnded once.
class FileObserver {
public:
    virtual ~FileObserver() = default;
    virtual void workerBytes(int slot, int worker, std::int64_t bytesSoFar) = 0;
    virtual void workerEnded(int slot, int worker) = 0;
    virtual void fileEnded(int slot, const FileOutcome& outcome) = 0;
};

// A file being fetched. cancel() disconnects its connections and returns at once;
// the destructor waits for its threads.
class FileTransfer {
public:
    virtual ~FileTransfer() = default;
    virtual void cancel() = 0;
};

class Network {
public:
    virtual ~Network() = default;
    virtual ProbeResult probe(const std::string& url, const std::atomic<bool>& cancel) = 0;
    virtual std::unique_ptr<FileTransfer> start(const FileOrder& order, FileObserver& observer) = 0;
};

}  // namespace melorin::download
