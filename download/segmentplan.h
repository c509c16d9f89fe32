#pragma once
// How a file of known length is split over its workers, the Range header each
// worker sends, and the check of a ranged answer against its request.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace melorin::download {

inline constexpr int kSlots = 3;
inline constexpr int kMaxWorkersPerFile = 11;
inline constexpr int kProbeTag = 6789;

// One worker's share. Bytes [start, ownEnd) are its own; the request names
// start..requestEnd, which for all but the last worker includes the first byte
// of the next segment (both write the same value there).
struct Segment {
    int index = 0;
    std::int64_t start = 0;
    std::int64_t ownEnd = 0;
    std::int64_t requestEnd = 0;
};

struct SegmentPlan {
    std::int64_t total = 0;
    std::int64_t segmentLength = 0;
    std::vector<Segment> segments;
};

// Never plans more workers than the file has bytes, so no segment is empty;
// an empty file or a worker count below 1 gives one worker.
SegmentPlan planSegments(std::int64_t total, int workers);

// "bytes=S-E", "bytes=S-" when E is 0, "" when both are 0 (no Range header).
std::string rangeHeaderValue(std::int64_t start, std::int64_t end);

struct ContentRange {
    std::int64_t first = 0;
    std::int64_t last = 0;
    std::int64_t total = -1;  // -1 for "*"
};

// Parses the value of a Content-Range header ("bytes 0-99/1000").
std::optional<ContentRange> parseContentRange(std::string_view value);

// True when a 206 answer with range `got` is exactly the answer to a request
// for start..requestEnd of a file of `total` bytes (the end clamped to the file).
bool rangeAnswerMatches(const ContentRange& got, std::int64_t start, std::int64_t requestEnd,
                        std::int64_t total);

// Connection tags: 100 x (slot + 1) + worker for worker connections, kProbeTag
// for the probe. A tag 100..149 belongs to slot 0, 200..249 to slot 1, 300..349 to
// slot 2; only offsets 0..4 have byte counters on screen.
int connectionTag(int slot, int worker);
std::optional<int> tagSlot(int tag);
std::optional<int> tagWorker(int tag);

}  // namespace melorin::download
