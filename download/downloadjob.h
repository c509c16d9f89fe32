#pragma once
// A row of the download queue: a found file plus where it goes.
#include <string>

#include "core/songrow.h"

namespace melorin::download {

struct DownloadJob : core::SongRow {
    std::string savePath;
};

}  // namespace melorin::download
