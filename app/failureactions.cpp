#include "app/failureactions.h"

#include <filesystem>

#include "download/segmentplan.h"

namespace melorin {

Failure unhandledFailure(std::string text) {
    Failure f{std::move(text), {}};
    f.cause = f.text;
    return f;
}

Failure failureOf(std::exception_ptr thrown) {
    try {
        if (thrown) std::rethrow_exception(thrown);
    } catch (const std::filesystem::filesystem_error& e) {
        return {e.what(), e.code().message()};
    } catch (const std::exception& e) {
        return unhandledFailure(e.what());
    } catch (...) {
    }
    return unhandledFailure("unknown failure");
}

Failure fileFailure(std::string text) {
    return {std::move(text), {}};
}

FailureActions decideFailure(const Failure& failure, const FailureContext& ctx) {
    FailureActions a;
    const bool rowExists = ctx.probeRow >= 0 && ctx.probeRow < ctx.queueRows;
    a.logLines.push_back(failure.text);
    if (rowExists) a.logLines.push_back(ctx.probeRowCaption);

    std::string m = failure.cause;
    for (char& c : m) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    if (m.find("access") != std::string::npos) a.showFatalMessage = true;
    if (m.find("socket") != std::string::npos || m.find("40") != std::string::npos) {
        if (rowExists) a.logLines.push_back(ctx.probeRowTitle + "不能下载");
        const bool moreRows = ctx.queueRows > 0 && ctx.probeRow < ctx.queueRows - 1;
        if (!ctx.probing) a.releaseSlot = ctx.probeRow % download::kSlots;
        if (moreRows) {
            a.disconnectProbe = ctx.probing;
            a.skipProbeRow = true;
            a.showDownloadPanel = true;
        }
    }
    return a;
}

}  // namespace melorin
