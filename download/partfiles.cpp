#include "download/partfiles.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>

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

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Bytes the folder's file system still has for an ordinary user; -1 when it cannot tell.
std::int64_t freeBytes(const std::string& folder) {
    struct statvfs fs {};
    if (::statvfs(folder.c_str(), &fs) != 0) return -1;
    return static_cast<std::int64_t>(fs.f_bavail) * static_cast<std::int64_t>(fs.f_frsize);
}

// Renames without replacing: renameat2's RENAME_NOREPLACE, or where the file system lacks it,
// a hard link (which fails on an existing name) and an unlink.
int renameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return -1;
    if (::link(from.c_str(), to.c_str()) != 0) return -1;
    ::unlink(from.c_str());
    return 0;
}

}  // namespace

PartFile::~PartFile() {
    if (fd_ >= 0) ::close(fd_);
}

std::string partPathFor(const std::string& savePath) {
    return savePath + ".part";
}

std::string statePathFor(const std::string& savePath) {
    return savePath + ".part.state";
}

PreparedPart preparePart(const std::string& savePath, const std::string& url, std::int64_t length,
                         const std::string& validator) {
    using Error = PreparedPart::Error;
    PreparedPart prepared;
    const std::string part = partPathFor(savePath);
    const std::string state = statePathFor(savePath);
    auto fail = [&](Error error, std::string reason) {
        prepared.error = error;
        prepared.reason = std::move(reason);
        prepared.file.reset();
        return prepared;
    };
    if (!isSafeSavePath(part)) return fail(Error::CannotCreate, "文件名不安全");
    // Opened without truncating: until the lock is ours, the bytes may be another writer's.
    const int fd = ::open(part.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) return fail(Error::CannotCreate, std::strerror(errno));
    prepared.file = std::make_shared<PartFile>(fd);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) return fail(Error::Locked, part + "正由另一个下载写入");
        return fail(Error::Other, part + "无法加锁：" + std::strerror(errno));
    }
    struct stat st {};
    const std::int64_t partSize = ::fstat(fd, &st) == 0 ? st.st_size : -1;
    const std::optional<std::string> stateText = readSmallFile(state);
    const ResumeDecision decision = decideResume(stateText, partSize, url, length, validator);
    if (decision.verdict == ResumeVerdict::Resume) {
        prepared.received = decodeResumeState(*stateText)->received;
        if (!prepared.received.empty()) return prepared;
    }
    if (decision.verdict == ResumeVerdict::Changed || decision.verdict == ResumeVerdict::Mismatch)
        prepared.note = decision.reason;
    ::unlink(state.c_str());
    auto refuse = [&](std::string reason) {
        ::unlink(part.c_str());  // nothing of it was received: nothing is lost
        return fail(Error::Other, std::move(reason));
    };
    if (::ftruncate(fd, 0) != 0) return refuse(std::strerror(errno));
    // The .part gets its full length at once (the state's length is its size), which costs no
    // disk until bytes arrive; so the disk's room is asked first.
    const std::int64_t room = freeBytes(folderOf(part));
    if (room >= 0 && length > room) {
        return refuse("服务器告知的文件大小（" + std::to_string(length) +
                      "字节）超过了磁盘的剩余空间（" + std::to_string(room) + "字节）");
    }
    if (::ftruncate(fd, length) != 0) return refuse(std::strerror(errno));
    return prepared;
}

CompletedPart completePart(const std::string& savePath) {
    const std::string part = partPathFor(savePath);
    CompletedPart done{savePath, {}};
    for (int n = 2; renameNoReplace(part, done.path) != 0; ++n) {
        if (errno != EEXIST || n > 10000) {
            done.error = "无法把" + part + "改名为" + done.path + "：" + std::strerror(errno);
            return done;
        }
        done.path = numberedPath(savePath, n);
    }
    ::unlink(statePathFor(savePath).c_str());
    return done;
}

void discardPart(const std::string& savePath) {
    ::unlink(partPathFor(savePath).c_str());
    ::unlink(statePathFor(savePath).c_str());
}

bool movePart(const std::string& from, const std::string& to) {
    if (from == to) return true;
    if (::rename(partPathFor(from).c_str(), partPathFor(to).c_str()) != 0)
        return errno == ENOENT;  // nothing received yet: nothing to move
    if (::rename(statePathFor(from).c_str(), statePathFor(to).c_str()) != 0)
        ::unlink(statePathFor(from).c_str());  // a .part without state starts from zero
    return true;
}

}  // namespace melorin::download
