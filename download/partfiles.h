#pragma once
// The files of one download on disk. It is written to "<save path>.part" and renamed to the
// save path only once complete, so a failed or stopped download never damages an earlier
// file of that name; beside the .part, "<save path>.part.state" names what it holds. One writer
// per .part: it is held under an exclusive lock while it is written, also against another copy
// of the program.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "download/resumestate.h"

namespace melorin::download {

std::string partPathFor(const std::string& savePath);
std::string statePathFor(const std::string& savePath);

// An open .part under an exclusive lock (flock) for as long as it lives.
class PartFile {
public:
    explicit PartFile(int fd) : fd_(fd) {}
    ~PartFile();  // closing the file lets the lock go
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

struct PreparedPart {
    enum class Error {
        None,
        CannotCreate,  // the .part cannot be made under that name: a fallback name may do
        Locked,        // another writer holds it: nothing was touched
        Other          // made, but not usable (its size, the disk): nothing is left behind
    };
    Error error = Error::None;
    std::string reason;               // for the log, when error is set
    std::shared_ptr<PartFile> file;   // open and locked when error is None
    std::vector<ByteRange> received;  // bytes to keep: not empty only for a resume
    std::string note;                 // why an old state was not used, for the log; "" if none
};

// Takes the .part's lock first, then resumes when the state file matches the .part and the
// server's file (decideResume); else makes the .part anew, `length` bytes of zeros, and removes
// a state file that was there. A length the disk has no room for is refused.
PreparedPart preparePart(const std::string& savePath, const std::string& url, std::int64_t length,
                         const std::string& validator);

struct CompletedPart {
    std::string path;   // the file the bytes are in now
    std::string error;  // "" on success
};
// Renames the .part to the save path and removes the state file. An existing file is never
// replaced: when the save path is taken by then, the first free numberedPath() is used.
CompletedPart completePart(const std::string& savePath);

// Removes the .part and its state file: a removed row, a row refused for good.
void discardPart(const std::string& savePath);

// Moves the .part and its state file to the names of another save path; false (and nothing
// moved) when there was a .part that could not be moved.
bool movePart(const std::string& fromSavePath, const std::string& toSavePath);

}  // namespace melorin::download
