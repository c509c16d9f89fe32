#include "core/atomicfile.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

namespace melorin::core {
namespace {

std::string failure(const std::string& what, const std::string& path, int error) {
    return what + ' ' + path + ": " + std::strerror(error);
}

// A new file beside `path` that nobody else has opened, created 0666 so that the kernel applies
// the process's umask: the umask itself is never read, because reading it means setting it, and
// that would change it for every thread for a moment. -1 with errno on failure.
int createTemporaryBeside(const std::string& path, std::string& temp) {
    static std::atomic<unsigned> counter{0};
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::minstd_rand random(std::random_device{}());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string suffix = std::to_string(::getpid()) + '-' + std::to_string(counter++) + '-';
        for (int i = 0; i < 6; ++i) suffix += kLetters[random() % (sizeof kLetters - 1)];
        temp = path + ".tmp-" + suffix;
        const int fd =
            ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

}  // namespace

std::optional<std::string> writeFileAtomically(const std::string& path, std::string_view bytes,
                                               bool durable) {
    std::string temp;
    const int fd = createTemporaryBeside(path, temp);
    if (fd < 0) return failure("cannot write", path, errno);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : EIO;
            ::close(fd);
            ::unlink(temp.c_str());
            return failure("cannot write", path, error);
        }
        done += static_cast<std::size_t>(n);
    }
    if (durable && ::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        return failure("cannot write", path, error);
    }
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        return failure("cannot write", path, error);
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        return failure("cannot replace", path, error);
    }
    return std::nullopt;
}

}  // namespace melorin::core
