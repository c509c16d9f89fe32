#include "download/partfiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>

#include "download/filename.h"

namespace melorin::download {
namespace {

// A state file is a few hundred bytes; anything much larger is not one.
constexpr std::streamsize kStateLimit = 1 << 20;

std::optional<std::string> readSmallFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text(static_cast<std::size_t>(kStateLimit) + 1, '\0');
    in.read(text.data(), kStateLimit + 1);
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

std::int64_t regularFileSize(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return st.st_size;
}

}  // namespace

std::string partPathFor(const std::string& savePath) {
    return savePath + ".part";
}

std::string statePathFor(const std::string& savePath) {
    return savePath + ".part.state";
}

PreparedPart preparePart(const std::string& savePath, const std::string& url, std::int64_t length,
                         const std::string& validator) {
    PreparedPart prepared;
    const std::string part = partPathFor(savePath);
    const std::string state = statePathFor(savePath);
    if (!isSafeSavePath(part)) {
        prepared.error = "文件名不安全";
        return prepared;
    }
    const std::optional<std::string> stateText = readSmallFile(state);
    const ResumeDecision decision =
        decideResume(stateText, regularFileSize(part), url, length, validator);
    if (decision.verdict == ResumeVerdict::Resume) {
        prepared.received = decodeResumeState(*stateText)->received;
        if (!prepared.received.empty()) return prepared;
    }
    if (decision.verdict == ResumeVerdict::Changed || decision.verdict == ResumeVerdict::Mismatch)
        prepared.note = decision.reason;
    ::unlink(state.c_str());
    const int fd =
        ::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        prepared.error = std::strerror(errno);
        return prepared;
    }
    // The full length at once: the state's length is then also the .part's size.
    if (::ftruncate(fd, length) != 0) prepared.error = std::strerror(errno);
    ::close(fd);
    return prepared;
}

std::string completePart(const std::string& savePath) {
    const std::string part = partPathFor(savePath);
    if (::rename(part.c_str(), savePath.c_str()) != 0)
        return "无法把" + part + "改名为" + savePath + "：" + std::strerror(errno);
    ::unlink(statePathFor(savePath).c_str());
    return {};
}

void discardPart(const std::string& savePath) {
    ::unlink(partPathFor(savePath).c_str());
    ::unlink(statePathFor(savePath).c_str());
}

}  // namespace melorin::download
