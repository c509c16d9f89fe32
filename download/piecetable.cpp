#include "download/piecetable.h"

#include <algorithm>
#include <limits>

namespace melorin::download {

std::vector<Piece> piecesFor(const SegmentPlan& plan) {
    std::vector<Piece> pieces;
    for (const Segment& s : plan.segments) pieces.push_back({s.start, s.ownEnd, s.start, s.index});
    return pieces;
}

std::vector<Piece> piecesFor(const std::vector<ByteRange>& missing) {
    std::vector<Piece> pieces;
    for (const ByteRange& r : missing) pieces.push_back({r.first, r.end, r.first});
    return pieces;
}

std::optional<std::size_t> takePiece(std::vector<Piece>& pieces, int worker, bool split,
                                     std::int64_t minPiece, double minSeconds) {
    for (std::size_t i = 0; i < pieces.size(); ++i)
        if (pieces[i].worker == worker && pieces[i].done < pieces[i].end) return i;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (pieces[i].worker < 0 && pieces[i].done < pieces[i].end) {
            pieces[i].worker = worker;
            pieces[i].rate = -1;
            return i;
        }
    }
    if (!split) return std::nullopt;
    double fastest = 0;
    for (const Piece& p : pieces) fastest = std::max(fastest, p.rate);
    std::optional<std::size_t> slowest;
    double longest = -1;
    std::int64_t longestLeft = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const Piece& p = pieces[i];
        const std::int64_t left = p.end - p.done;
        if (p.worker < 0 || left < 2 * minPiece) continue;
        const double rate = p.rate >= 0 ? p.rate : fastest;
        const double seconds =
            rate > 0 ? static_cast<double>(left) / rate : std::numeric_limits<double>::infinity();
        if (seconds > longest || (seconds == longest && left > longestLeft)) {
            slowest = i;
            longest = seconds;
            longestLeft = left;
        }
    }
    if (!slowest || longest < minSeconds) return std::nullopt;
    Piece& p = pieces[*slowest];
    const std::int64_t mid = p.done + (p.end - p.done) / 2;
    Piece second{mid, p.end, mid, worker, -1};
    p.end = mid;
    pieces.push_back(second);
    return pieces.size() - 1;
}

std::vector<ByteRange> receivedRanges(const std::vector<Piece>& pieces) {
    std::vector<ByteRange> ranges;
    for (const Piece& p : pieces) ranges.push_back({p.start, std::min(p.done, p.end)});
    return mergeRanges(std::move(ranges));
}

}  // namespace melorin::download
