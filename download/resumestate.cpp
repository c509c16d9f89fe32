#include "download/resumestate.h"

#include <algorithm>
#include <charconv>

namespace melorin::download {
namespace {

constexpr std::string_view kHeader = "melorin-part 1";

// FNV-1a, 64 bits: enough to tell a damaged file from a whole one.
std::uint64_t checksum(std::string_view s) {
    std::uint64_t h = 1469598103934665603ull;
    for (char c : s) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ull;
    }
    return h;
}

std::string hex(std::uint64_t v) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out(16, '0');
    for (int i = 15; i >= 0; --i, v >>= 4) out[static_cast<std::size_t>(i)] = kDigits[v & 15];
    return out;
}

bool number(std::string_view s, std::int64_t& out) {
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return !s.empty() && ec == std::errc() && p == s.data() + s.size() && out >= 0;
}

// Takes the next line, which must begin with `key` and a blank; false when it does not.
bool take(std::string_view& text, std::string_view key, std::string_view& value) {
    const std::size_t nl = text.find('\n');
    if (nl == std::string_view::npos) return false;
    std::string_view line = text.substr(0, nl);
    text.remove_prefix(nl + 1);
    if (line == key) {  // "received" before any byte has arrived
        value = {};
        return true;
    }
    if (!line.starts_with(key) || line.size() <= key.size() || line[key.size()] != ' ')
        return false;
    value = line.substr(key.size() + 1);
    return true;
}

bool clean(std::string_view s) {
    return std::none_of(s.begin(), s.end(), [](char c) { return c == '\n' || c == '\r'; });
}

}  // namespace

std::vector<ByteRange> mergeRanges(std::vector<ByteRange> ranges) {
    std::erase_if(ranges, [](const ByteRange& r) { return r.end <= r.first; });
    std::sort(ranges.begin(), ranges.end(),
              [](const ByteRange& a, const ByteRange& b) { return a.first < b.first; });
    std::vector<ByteRange> out;
    for (const ByteRange& r : ranges) {
        if (!out.empty() && r.first <= out.back().end)
            out.back().end = std::max(out.back().end, r.end);
        else
            out.push_back(r);
    }
    return out;
}

std::vector<ByteRange> missingRanges(const std::vector<ByteRange>& received, std::int64_t length) {
    std::vector<ByteRange> out;
    std::int64_t at = 0;
    for (const ByteRange& r : received) {
        if (r.first > at) out.push_back({at, std::min(r.first, length)});
        at = std::max(at, r.end);
    }
    if (at < length) out.push_back({at, length});
    return out;
}

std::int64_t rangeBytes(const std::vector<ByteRange>& ranges) {
    std::int64_t n = 0;
    for (const ByteRange& r : ranges) n += r.end - r.first;
    return n;
}

std::string encodeResumeState(const ResumeState& state) {
    std::string text(kHeader);
    text += "\nurl " + state.url + "\nlength " + std::to_string(state.length) + "\nvalidator " +
            state.validator + "\nreceived";
    for (const ByteRange& r : mergeRanges(state.received))
        text += ' ' + std::to_string(r.first) + '-' + std::to_string(r.end);
    text += '\n';
    return text + "check " + hex(checksum(text)) + '\n';
}

std::optional<ResumeState> decodeResumeState(std::string_view text) {
    const std::size_t checkAt = text.rfind("check ");
    if (checkAt == std::string_view::npos || (checkAt > 0 && text[checkAt - 1] != '\n'))
        return std::nullopt;
    if (text.substr(checkAt) != "check " + hex(checksum(text.substr(0, checkAt))) + "\n")
        return std::nullopt;
    std::string_view body = text.substr(0, checkAt);
    std::string_view v;
    ResumeState s;
    if (!body.starts_with(kHeader) || body.substr(kHeader.size(), 1) != "\n") return std::nullopt;
    body.remove_prefix(kHeader.size() + 1);
    if (!take(body, "url", v) || v.empty()) return std::nullopt;
    s.url = std::string(v);
    if (!take(body, "length", v) || !number(v, s.length) || s.length <= 0) return std::nullopt;
    if (!take(body, "validator", v)) return std::nullopt;
    s.validator = std::string(v);
    if (!take(body, "received", v) || !body.empty()) return std::nullopt;
    std::int64_t lastEnd = -1;
    while (!v.empty()) {
        const std::size_t sp = v.find(' ');
        std::string_view item = v.substr(0, sp);
        v.remove_prefix(sp == std::string_view::npos ? v.size() : sp + 1);
        const std::size_t dash = item.find('-');
        ByteRange r;
        if (dash == std::string_view::npos || !number(item.substr(0, dash), r.first) ||
            !number(item.substr(dash + 1), r.end))
            return std::nullopt;
        if (r.first <= lastEnd || r.end <= r.first || r.end > s.length) return std::nullopt;
        lastEnd = r.end;
        s.received.push_back(r);
    }
    if (!clean(s.url) || !clean(s.validator)) return std::nullopt;
    return s;
}

ResumeDecision decideResume(const std::optional<std::string>& stateText, std::int64_t partSize,
                            const std::string& url, std::int64_t length,
                            const std::string& validator) {
    if (!stateText) return {ResumeVerdict::Fresh, {}};
    const std::optional<ResumeState> saved = decodeResumeState(*stateText);
    if (!saved) return {ResumeVerdict::Mismatch, "断点记录已损坏"};
    if (saved->url != url) return {ResumeVerdict::Mismatch, "断点记录属于另一个下载地址"};
    if (partSize != saved->length)
        return {ResumeVerdict::Mismatch, "断点记录与已下载的部分长度不符"};
    if (saved->length != length) return {ResumeVerdict::Changed, "服务器上的文件长度已经改变"};
    if (saved->validator != validator) return {ResumeVerdict::Changed, "服务器上的文件已经改变"};
    return {ResumeVerdict::Resume, {}};
}

}  // namespace melorin::download
