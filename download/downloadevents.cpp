#include "download/downloadevents.h"

#include <array>
#include <utility>

namespace melorin::download {
namespace {

constexpr std::array<std::pair<ProgressState, std::string_view>, 4> kProgressTexts{{
    {ProgressState::Running, "正在下载"},
    {ProgressState::Ended, "下载结束"},
    {ProgressState::Logged, "下载已经完成"},
    {ProgressState::Failed, "下载失败"},
}};

}  // namespace

std::string_view progressText(ProgressState state) {
    for (const auto& [s, text] : kProgressTexts)
        if (s == state) return text;
    return {};
}

std::vector<std::string> logLinesOf(const std::vector<DownloadEvent>& events) {
    std::vector<std::string> lines;
    for (const DownloadEvent& e : events)
        if (const auto* line = std::get_if<LogLine>(&e)) lines.push_back(line->text);
    return lines;
}

}  // namespace melorin::download
