#pragma once
// What survives a restart beside a download's .part: its state file names the address, the
// file's length, the server's validator and the byte ranges already on disk. It is replaced
// whole (written beside and renamed), and checked before it is trusted.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace melorin::download {

struct ByteRange {
    std::int64_t first = 0;  // bytes [first, end)
    std::int64_t end = 0;
    bool operator==(const ByteRange&) const = default;
};

struct ResumeState {
    std::string url;
    std::int64_t length = 0;
    std::string validator;  // the strong ETag or the Last-Modified the file was fetched with
    std::vector<ByteRange> received;  // sorted, apart, inside [0, length)
    bool operator==(const ResumeState&) const = default;
};

// Sorts and joins ranges; empty ones go.
std::vector<ByteRange> mergeRanges(std::vector<ByteRange> ranges);
// The ranges of [0, length) not in `received` (which must be merged).
std::vector<ByteRange> missingRanges(const std::vector<ByteRange>& received, std::int64_t length);
std::int64_t rangeBytes(const std::vector<ByteRange>& ranges);

// The file's text; it ends in a check line over everything before it.
std::string encodeResumeState(const ResumeState& state);
// nullopt for anything damaged: a wrong check, a missing or unknown line, ranges that are not
// sorted, overlap or leave the file.
std::optional<ResumeState> decodeResumeState(std::string_view text);

// What a pass does with a file it is about to fetch.
enum class ResumeVerdict {
    Fresh,    // no state file: start from zero
    Resume,   // fetch only the missing ranges
    Changed,  // the server's file is another now: start from zero, with a log line
    Mismatch  // the state file does not belong to this .part: ignored, start from zero, logged
};

struct ResumeDecision {
    ResumeVerdict verdict = ResumeVerdict::Fresh;
    std::string reason;  // for the log line (UTF-8)
};

// `stateText` is the state file's content (nullopt: no file), `partSize` the .part's size
// (-1: none); url, length and validator are the current address and what the probe learned.
ResumeDecision decideResume(const std::optional<std::string>& stateText, std::int64_t partSize,
                            const std::string& url, std::int64_t length,
                            const std::string& validator);

}  // namespace melorin::download
