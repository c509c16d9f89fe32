#include "download/queuefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

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
    if (text.starts_with(kHeader) && text.substr(kHeader.size(), 1) == "\n") {
        text.remove_prefix(kHeader.size() + 1);
    } else {
        q.known = false;  // the lines below may still hold rows; the first may be one too
    }
    bool header = !q.known;
    std::vector<std::string> f;
    for (; !text.empty(); header = false) {
        const std::size_t nl = text.find('\n');
        const bool whole = nl != std::string_view::npos;  // a last line without "\n" was cut
        const std::string_view line = text.substr(0, whole ? nl : text.size());
        text.remove_prefix(whole ? nl + 1 : text.size());
        int icon = 0;
        if (!whole || !fields(line, f) || f.size() != kFields || f[3].empty() || f[6].empty() ||
            std::from_chars(f[1].data(), f[1].data() + f[1].size(), icon).ptr !=
                f[1].data() + f[1].size()) {
            if (!header) ++q.damagedLines;
            continue;
        }
        q.rows.push_back({{core::RowShape::File, f[0], icon, f[2], f[3], f[4], f[5]}, f[6]});
    }
    return q;
}

}  // namespace melorin::download

namespace melorin::download {
namespace {

bool readWhole(const std::string& path, std::string& text, int& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return false;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) error = errno;
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return error == 0;
}

std::string asideName(const std::string& path) {
    struct stat st {};
    std::string aside = path + ".damaged";
    for (int n = 2; ::lstat(aside.c_str(), &st) == 0; ++n)
        aside = path + ".damaged." + std::to_string(n);
    return aside;
}

}  // namespace

LoadedQueue loadQueueFile(const std::string& path) {
    LoadedQueue loaded;
    std::string text;
    int error = 0;
    if (!readWhole(path, text, error) && error == ENOENT) return loaded;
    DecodedQueue decoded = decodeQueue(text);
    loaded.rows = std::move(decoded.rows);
    if (error == 0 && (decoded.whole() || text.empty())) return loaded;
    const std::string why = error != 0 ? std::string("无法读取（") + std::strerror(error) + "）"
                                       : std::string("已损坏");
    const std::string aside = asideName(path);
    if (::rename(path.c_str(), aside.c_str()) != 0) {
        loaded.writable = false;
        loaded.logLine = "下载队列文件" + path + why + "，也无法移开（" + std::strerror(errno) +
                         "），这次不保存下载队列，以免覆盖它";
    } else {
        loaded.logLine = "下载队列文件" + why + "，已移到" + aside + "；能读出的" +
                         std::to_string(loaded.rows.size()) + "个下载已放回";
    }
    return loaded;
}

}  // namespace melorin::download
