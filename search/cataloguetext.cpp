#include "search/cataloguetext.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace melorin::search {

std::string sizeText(std::int64_t bytes) {
    if (bytes < 0) return {};
    constexpr std::int64_t kKiB = 1024;
    constexpr std::int64_t kMiB = kKiB * 1024;
    char buf[32];
    if (bytes >= kMiB) {
        // Tenths rounded in integers, so 1.95 MiB reads "2.0M" and never "1.10M".
        const std::int64_t tenths = (bytes * 10 + kMiB / 2) / kMiB;
        std::snprintf(buf, sizeof buf, "%lld.%lldM", static_cast<long long>(tenths / 10),
                      static_cast<long long>(tenths % 10));
    } else {
        const std::int64_t kib = bytes == 0 ? 0 : std::max<std::int64_t>(1, (bytes + 512) / kKiB);
        std::snprintf(buf, sizeof buf, "%lldK", static_cast<long long>(kib));
    }
    return buf;
}

std::string_view kindName(int kindIndex) {
    static constexpr std::array<std::string_view, 6> kNames = {"MP3", "RM",  "WMA",
                                                               "ASF", "RAM", "FLASH"};
    if (kindIndex < 0 || kindIndex >= static_cast<int>(kNames.size())) return {};
    return kNames[static_cast<std::size_t>(kindIndex)];
}

std::string_view kindExtension(int kindIndex) {
    static constexpr std::array<std::string_view, 5> kExtensions = {"mp3", "rm", "wma", "asf",
                                                                    "ram"};
    if (kindIndex < 0 || kindIndex >= static_cast<int>(kExtensions.size())) return {};
    return kExtensions[static_cast<std::size_t>(kindIndex)];
}

std::string missingKindLine(std::string_view catalogue, int kindIndex) {
    const std::string_view kind = kindName(kindIndex);
    return std::string(catalogue) + "只提供MP3文件，没有" +
           (kind.empty() ? std::string("这种") : std::string(kind)) + "格式的文件";
}

std::string unreadableLine(std::string_view catalogue) {
    return std::string(catalogue) + "的回答无法读取，搜索结束";
}

std::string failureLine(std::string_view catalogue, const core::GetAnswer& answer) {
    const std::string name(catalogue);
    switch (answer.failure) {
        case core::GetFailure::None:
            return {};
        case core::GetFailure::Unreachable:
            return "请检查网络连接!";
        case core::GetFailure::TimedOut:
            return name + "没有及时回答，搜索结束";
        case core::GetFailure::HttpStatus:
            return name + "回答错误（HTTP " + std::to_string(answer.status) + "），搜索结束";
        case core::GetFailure::TooLarge:
            return name + "的回答过大，搜索结束";
        case core::GetFailure::Refused:
            return name + "把请求转到了不予访问的地址，搜索结束";
        case core::GetFailure::Broken:
            break;
    }
    return "与" + name + "的连接中断，搜索结束";
}

std::string endLine(std::string_view catalogue, SearchEnd end, int rows, int unreadItems) {
    std::string line(catalogue);
    switch (end) {
        case SearchEnd::Done:
            line += "：搜索完毕，";
            break;
        case SearchEnd::Stopped:
            line += "：搜索已停止，";
            break;
        case SearchEnd::RowLimit:
            line += "：已到 " + std::to_string(kCatalogueRowLimit) + " 个文件的上限，";
            break;
    }
    line += "找到 " + std::to_string(rows) + " 个文件";
    if (unreadItems > 0) line += "，" + std::to_string(unreadItems) + " 个条目无法读取";
    return line;
}

std::string listPagesLine() {
    return "排行榜、歌手列表和专辑只属于默认mp3搜索引擎";
}

}  // namespace melorin::search
