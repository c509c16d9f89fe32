#include "core/atomicfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace melorin::core {
namespace {

std::string failure(const std::string& what, const std::string& path, int error) {
    return what + ' ' + path + ": " + std::strerror(error);
}

}  // namespace

std::optional<std::string> writeFileAtomically(const std::string& path, std::string_view bytes,
                                               bool durable) {
    std::string pattern = path + ".tmp-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return failure("cannot write", path, errno);
    const std::string temp(name.data());
    // mkstemp creates 0600; a page or list the user saves should read like any other file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
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
