#pragma once
// The unfinished rows of the download queue as a text file in the program folder, so that
// they come back at the next start: one line per row, fields apart by tabs.
#include <string>
#include <string_view>
#include <vector>

#include "download/downloader.h"

namespace melorin::download {

std::string encodeQueue(const std::vector<DownloadJob>& rows);

struct DecodedQueue {
    std::vector<DownloadJob> rows;
    int damagedLines = 0;  // lines that could not be read; left out
    bool known = true;     // false when the text is not a queue file at all
};

DecodedQueue decodeQueue(std::string_view text);

}  // namespace melorin::download
