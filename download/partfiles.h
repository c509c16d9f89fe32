#pragma once
// The files of one download on disk. It is written to "<save path>.part" and renamed to the
// save path only once complete, so a failed or stopped download never damages an earlier
// file of that name; beside the .part, "<save path>.part.state" names what it holds.
#include <cstdint>
#include <string>
#include <vector>

#include "download/resumestate.h"

namespace melorin::download {

std::string partPathFor(const std::string& savePath);
std::string statePathFor(const std::string& savePath);

struct PreparedPart {
    std::string error;                // the .part could not be made; nothing else is valid
    std::vector<ByteRange> received;  // bytes to keep: not empty only for a resume
    std::string note;                 // why an old state was not used, for the log; "" if none
};

// Resumes when the state file matches the .part and the server's file (decideResume); else
// makes the .part anew, `length` bytes of zeros, and removes a state file that was there.
PreparedPart preparePart(const std::string& savePath, const std::string& url, std::int64_t length,
                         const std::string& validator);

// Renames the .part to the save path and removes the state file: "" or the reason.
std::string completePart(const std::string& savePath);

// Removes the .part and its state file: a failed download, a removed row.
void discardPart(const std::string& savePath);

}  // namespace melorin::download
