#include "download/failureactions.h"

#include "download/segmentplan.h"

namespace melorin::download {

FailureActions decideFailure(std::string_view message, const FailureContext& ctx) {
    FailureActions a;
    const bool rowExists = ctx.probeRow >= 0 && ctx.probeRow < ctx.queueRows;
    a.logLines.emplace_back(message);
    if (rowExists) a.logLines.push_back(ctx.probeRowCaption);

    std::string m(message);
    for (char& c : m) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    if (m.find("access") != std::string::npos) a.showFatalMessage = true;
    if (m.find("socket") != std::string::npos || m.find("40") != std::string::npos) {
        if (rowExists) a.logLines.push_back(ctx.probeRowTitle + "不能下载");
        const bool moreRows = ctx.queueRows > 0 && ctx.probeRow < ctx.queueRows - 1;
        if (!ctx.probing) a.releaseSlot = ctx.probeRow % kSlots;
        if (moreRows) {
            a.disconnectProbe = ctx.probing;
            a.skipProbeRow = true;
            a.showDownloadPanel = true;
        }
    }
    return a;
}

}  // namespace melorin::download
