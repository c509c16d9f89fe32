#pragma once
// What the application-wide failure hook (app/failurehook.h) does with a message: message in,
// actions out. The window's policy, not the download core's: the window performs the actions
// (log, message box, close, Downloader calls).
#include <exception>
#include <optional>
#include <string>
#include <vector>

namespace melorin {

inline constexpr const char* kFatalMessage = "出现致命错误，应用程序将关闭！！！";

struct FailureContext {
    int queueRows = 0;
    int probeRow = 0;
    bool probing = false;
    std::string probeRowCaption;  // of queue row probeRow, when it exists
    std::string probeRowTitle;
};

struct FailureActions {
    std::vector<std::string> logLines;
    bool showFatalMessage = false;  // then close the chooser and the main window
    bool disconnectProbe = false;
    std::optional<int> releaseSlot;  // disconnect that slot's connections
    bool skipProbeRow = false;       // probeRow += 1
    bool showDownloadPanel = false;
};

// A failure as the hook receives it. The log shows `text` as it is; the words that act
// ("access", "socket", "40") are looked for only in `cause`, what the failing library or the
// server said. A file the program itself reads or writes gives no cause: its text names a
// path, and a folder called "access" or "40首" must neither close the program nor skip a
// download.
struct Failure {
    std::string text;
    std::string cause;
};
// An unhandled failure: all of its text is the library's or the server's.
Failure unhandledFailure(std::string text);
// What an exception that reached the event loop says. A filesystem error's text names the
// paths it failed on: only the error itself acts.
Failure failureOf(std::exception_ptr thrown);
// A play list, player page, card page or download file of the program's own that could not be
// read or written.
Failure fileFailure(std::string text);

FailureActions decideFailure(const Failure& failure, const FailureContext& context);

}  // namespace melorin
