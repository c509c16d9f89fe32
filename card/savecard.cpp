#include "card/savecard.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "card/background.h"
#include "core/atomicfile.h"

namespace melorin::card {
namespace {

std::string failure(std::string_view what, std::string_view path, int error) {
    return std::string(what) + ' ' + std::string(path) + ": " + std::strerror(error);
}

std::optional<std::string> readWhole(const std::string& path, std::string& bytes) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return failure("cannot read", path, errno);
    if (!S_ISREG(info.st_mode)) return failure("cannot read", path, EISDIR);
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) return failure("cannot read", path, errno ? errno : ENOENT);
    std::ostringstream all;
    all << in.rdbuf();
    if (in.bad()) return failure("cannot read", path, errno ? errno : EIO);
    bytes = std::move(all).str();
    return std::nullopt;
}

std::string_view fileName(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view folderOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
}

std::string_view stem(std::string_view name) {
    for (const std::string_view ext : {".html", ".htm", ".HTML", ".HTM"}) {
        if (name.size() > ext.size() && name.ends_with(ext)) {
            return name.substr(0, name.size() - ext.size());
        }
    }
    return name;
}

// "<name>_files" for a page "<name>.html".
std::string pictureFolderName(std::string_view target) {
    return std::string(stem(fileName(target))) + "_files";
}

}  // namespace

std::string pictureFolderFor(std::string_view target) {
    return std::string(folderOf(target)) + pictureFolderName(target) + '/';
}

std::optional<std::string> savePage(const std::string& pagePath, const std::string& target) {
    std::string page;
    if (auto error = readWhole(pagePath, page)) return error;
    return core::writeFileAtomically(target, page);
}

std::optional<std::string> savePageWithPicture(const std::string& pagePath,
                                               const std::string& target) {
    std::string page;
    if (auto error = readWhole(pagePath, page)) return error;
    // The background is the page's second line.
    const std::size_t first = page.find("\r\n");
    const std::size_t second = first == std::string::npos ? first : page.find("\r\n", first + 2);
    std::optional<std::string> picture;
    if (second != std::string::npos) {
        picture =
            pictureOfBackgroundLine(std::string_view(page).substr(first + 2, second - first - 2));
    }
    if (!picture) return "cannot save " + target + ": " + pagePath + " names no background picture";

    std::string pictureBytes;
    if (auto error = readWhole(*picture, pictureBytes)) return error;
    const std::string folder = pictureFolderFor(target);
    if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
        return failure("cannot create", folder, errno);
    }
    const std::string_view name = fileName(*picture);
    if (auto error = core::writeFileAtomically(folder + std::string(name), pictureBytes)) {
        return error;
    }
    const std::string reference = pictureFolderName(target) + '/' + std::string(name);
    page.replace(first + 2, second - first - 2, backgroundLineForRelative(reference));
    return core::writeFileAtomically(target, page);
}

}  // namespace melorin::card
