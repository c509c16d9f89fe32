#include "card/picture.h"

namespace melorin::card {

std::string pictureFolder(std::string_view programDir) {
    std::string folder(programDir);
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder + "pic/";
}

}  // namespace melorin::card
