#include "download/segmentplan.h"

#include <algorithm>
#include <charconv>

namespace melorin::download {

SegmentPlan planSegments(std::int64_t total, int workers) {
    SegmentPlan plan;
    plan.total = std::max<std::int64_t>(total, 0);
    std::int64_t count = std::clamp<std::int64_t>(workers, 1, kMaxWorkersPerFile);
    count = std::min(count, std::max<std::int64_t>(plan.total, 1));
    plan.segmentLength = plan.total / count;
    for (std::int64_t i = 0; i < count; ++i) {
        Segment s;
        s.index = static_cast<int>(i);
        s.start = i * plan.segmentLength;
        bool last = i == count - 1;
        s.ownEnd = last ? plan.total : (i + 1) * plan.segmentLength;
        s.requestEnd = last ? plan.total : (i + 1) * plan.segmentLength;
        plan.segments.push_back(s);
    }
    return plan;
}

std::string rangeHeaderValue(std::int64_t start, std::int64_t end) {
    if (end != 0) return "bytes=" + std::to_string(start) + "-" + std::to_string(end);
    if (start != 0) return "bytes=" + std::to_string(start) + "-";
    return {};
}

namespace {
bool readNumber(std::string_view& s, std::int64_t& out) {
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    if (ec != std::errc() || ptr == s.data() || out < 0) return false;
    s.remove_prefix(static_cast<std::size_t>(ptr - s.data()));
    return true;
}
}  // namespace

std::optional<ContentRange> parseContentRange(std::string_view v) {
    while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
    while (!v.empty() && (v.back() == ' ' || v.back() == '\r' || v.back() == '\n'))
        v.remove_suffix(1);
    if (v.size() < 6) return std::nullopt;
    std::string unit(v.substr(0, 6));
    for (char& c : unit) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    if (unit != "bytes ") return std::nullopt;
    v.remove_prefix(6);
    ContentRange r;
    if (!readNumber(v, r.first) || v.empty() || v.front() != '-') return std::nullopt;
    v.remove_prefix(1);
    if (!readNumber(v, r.last) || v.empty() || v.front() != '/') return std::nullopt;
    v.remove_prefix(1);
    if (v == "*") {
        r.total = -1;
    } else if (!readNumber(v, r.total) || !v.empty()) {
        return std::nullopt;
    }
    if (r.last < r.first) return std::nullopt;
    return r;
}

bool rangeAnswerMatches(const ContentRange& got, std::int64_t start, std::int64_t requestEnd,
                        std::int64_t total) {
    if (total <= 0 || start >= total) return false;
    std::int64_t wantLast = requestEnd == 0 ? total - 1 : std::min(requestEnd, total - 1);
    return got.first == start && got.last == wantLast && (got.total == -1 || got.total == total);
}

int connectionTag(int slot, int worker) {
    return 100 * (slot + 1) + worker;
}

std::optional<int> tagSlot(int tag) {
    for (int k = 0; k < kSlots; ++k)
        if (tag >= 100 * (k + 1) && tag <= 100 * (k + 1) + 49) return k;
    return std::nullopt;
}

std::optional<int> tagWorker(int tag) {
    if (!tagSlot(tag)) return std::nullopt;
    int j = tag % 100;
    if (j > 4) return std::nullopt;
    return j;
}

}  // namespace melorin::download
