#pragma once
// What the application-wide failure hook (app/failurehook.h) does with a message: message in,
// actions out. The window performs the actions (log, message box, close, Downloader calls).
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace melorin::download {

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

FailureActions decideFailure(std::string_view message, const FailureContext& context);

}  // namespace melorin::download
