#include "download/queuefile.h"

#include <charconv>

namespace melorin::download {
namespace {

constexpr std::string_view kHeader = "melorin-queue 1";
constexpr std::size_t kFields = 7;

void escapeInto(std::string& out, std::string_view field) {
    for (char c : field) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
}

// Splits a line at its tabs and undoes the escapes; false for a broken escape.
bool fields(std::string_view line, std::vector<std::string>& out) {
    out.assign(1, {});
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\t') {
            out.emplace_back();
        } else if (c != '\\') {
            out.back() += c;
        } else {
            if (++i == line.size()) return false;
            switch (line[i]) {
                case '\\':
                    out.back() += '\\';
                    break;
                case 't':
                    out.back() += '\t';
                    break;
                case 'n':
                    out.back() += '\n';
                    break;
                case 'r':
                    out.back() += '\r';
                    break;
                default:
                    return false;
            }
        }
    }
    return true;
}

}  // namespace

std::string encodeQueue(const std::vector<DownloadJob>& rows) {
    std::string text(kHeader);
    text += '\n';
    for (const DownloadJob& j : rows) {
        const std::string icon = std::to_string(j.icon);
        for (std::string_view f :
             {std::string_view(j.caption), std::string_view(icon), std::string_view(j.title),
              std::string_view(j.address), std::string_view(j.size), std::string_view(j.type)}) {
            escapeInto(text, f);
            text += '\t';
        }
        escapeInto(text, j.savePath);
        text += '\n';
    }
    return text;
}

DecodedQueue decodeQueue(std::string_view text) {
    DecodedQueue q;
    if (!text.starts_with(kHeader) || text.substr(kHeader.size(), 1) != "\n") {
        q.known = false;
        return q;
    }
    text.remove_prefix(kHeader.size() + 1);
    std::vector<std::string> f;
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        const bool whole = nl != std::string_view::npos;  // a last line without "\n" was cut
        const std::string_view line = text.substr(0, whole ? nl : text.size());
        text.remove_prefix(whole ? nl + 1 : text.size());
        int icon = 0;
        if (!whole || !fields(line, f) || f.size() != kFields || f[3].empty() || f[6].empty() ||
            std::from_chars(f[1].data(), f[1].data() + f[1].size(), icon).ptr !=
                f[1].data() + f[1].size()) {
            ++q.damagedLines;
            continue;
        }
        q.rows.push_back({{core::RowShape::File, f[0], icon, f[2], f[3], f[4], f[5]}, f[6]});
    }
    return q;
}

}  // namespace melorin::download
