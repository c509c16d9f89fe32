#include "core/webaddress.h"

#include <algorithm>
#include <cctype>

namespace melorin::core {
namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char lower, char c) {
               return std::tolower(static_cast<unsigned char>(c)) == lower;
           });
}

std::string_view verbOf(RowAction action) {
    switch (action) {
        case RowAction::OnlinePlay:
            return "在线播放";
        case RowAction::PlayList:
            return "加入播放列表";
        case RowAction::Card:
            return "放入贺卡";
        case RowAction::Download:
            return "加入下载列表";
    }
    return {};
}

// A log entry is one line, whatever the page put into the text.
std::string oneLine(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    }
    return out;
}

}  // namespace

bool isWebAddress(std::string_view address) {
    std::string_view rest;
    if (startsWithNoCase(address, "http://")) {
        rest = address.substr(7);
    } else if (startsWithNoCase(address, "https://")) {
        rest = address.substr(8);
    } else {
        return false;
    }
    // Blanks and control characters have no place in an address; a handler might split there.
    if (std::any_of(address.begin(), address.end(),
                    [](char c) { return static_cast<unsigned char>(c) <= 0x20 || c == 0x7F; }))
        return false;
    const std::string_view host = rest.substr(0, rest.find_first_of("/?#"));
    return !host.empty() && host.front() != '@' && host.front() != ':';
}

std::string notOpenedLine(std::string_view address) {
    return "未打开地址：" + std::string(address) + "（只打开 http 和 https 地址）";
}

RowsForAction webRowsFor(RowAction action, const std::vector<SongRow>& rows) {
    RowsForAction out;
    for (const SongRow& row : rows) {
        if (!row.isFile() || isWebAddress(row.address)) {
            out.rows.push_back(row);
            continue;
        }
        out.refusals.push_back("未" + std::string(verbOf(action)) + "“" + oneLine(row.title) +
                               "”：地址“" + oneLine(row.address) + "”不是 http 或 https 地址");
    }
    return out;
}

}  // namespace melorin::core
