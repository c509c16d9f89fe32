#pragma once
// The pieces the workers of one file share while it downloads: plain data, guarded by the
// transfer. No slow tail: a worker that has finished its piece while another still has much
// left takes the second half of the slowest remainder, so one slow connection does not hold
// the file at 99 %.
#include <cstdint>
#include <optional>
#include <vector>

#include "download/resumestate.h"
#include "download/segmentplan.h"

namespace melorin::download {

// Bytes [start, end) belong to the piece, [start, done) of them are on disk. Its worker asks
// for done..end, which for every piece but the file's last includes the first byte of the
// next piece (both write the same value there); the last one names the file's length.
struct Piece {
    std::int64_t start = 0;
    std::int64_t end = 0;
    std::int64_t done = 0;
    int worker = -1;   // -1: nobody works on it
    double rate = -1;  // bytes per second of its worker so far; < 0 not known yet
    bool operator==(const Piece&) const = default;
};

// No split leaves a piece with fewer bytes to fetch than this.
inline constexpr std::int64_t kMinSplitPiece = 256 * 1024;
// Nor is a piece split that would be done sooner than this anyway: the split costs its
// connection the bytes already on their way.
inline constexpr double kMinSplitSeconds = 1.0;

// For a fresh file: segment i goes to worker i.
std::vector<Piece> piecesFor(const SegmentPlan& plan);
// For a resumed file: one piece per missing range.
std::vector<Piece> piecesFor(const std::vector<ByteRange>& missing);

// Gives `worker` its next piece and returns its index: one already given to it that still
// misses bytes; else the first piece nobody works on that
// still misses bytes; else, with `split`, a new piece from the second half of the remainder of
// the piece that would take longest to finish (remainder over rate; an unknown rate counts as
// the fastest one known), when both halves keep at least `minPiece` bytes and it would take at
// least `minSeconds`; else nullopt.
std::optional<std::size_t> takePiece(std::vector<Piece>& pieces, int worker, bool split = true,
                                     std::int64_t minPiece = kMinSplitPiece,
                                     double minSeconds = kMinSplitSeconds);

// The bytes on disk, merged.
std::vector<ByteRange> receivedRanges(const std::vector<Piece>& pieces);

}  // namespace melorin::download
