#pragma once
// The unfinished rows of the download queue as a text file in the program folder, so that
// they come back at the next start: one line per row, fields apart by tabs.
#include <string>
#include <string_view>
#include <vector>

#include "download/downloadjob.h"

namespace melorin::download {

std::string encodeQueue(const std::vector<DownloadJob>& rows);

struct DecodedQueue {
    std::vector<DownloadJob> rows;
    int damagedLines = 0;  // lines that could not be read; left out
    bool known = true;     // false when the first line is not the queue file's header
    bool whole() const { return known && damagedLines == 0; }
};

// Reads every line that still holds a row, also below a damaged header.
DecodedQueue decodeQueue(std::string_view text);

struct LoadedQueue {
    std::vector<DownloadJob> rows;
    std::string logLine;   // what the log should say of the file; "" when it was whole or absent
    bool writable = true;  // false: the damaged file is still in place and must not be replaced
};

// Reads the queue file at `path`. One that cannot be read whole is moved aside first, to
// "<path>.damaged" (or ".damaged.2", ... when that is taken), so that nothing of it is lost when
// the queue is written again.
LoadedQueue loadQueueFile(const std::string& path);

}  // namespace melorin::download
