#include "player/playlistfile.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/atomicfile.h"
#include "core/text.h"
#include "player/addresstext.h"

namespace melorin::player {
namespace {

bool isTrimmed(unsigned char c) {
    return c <= 32;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isTrimmed(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && isTrimmed(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

std::string twoDigits(int value) {
    std::string s = std::to_string(value);
    return s.size() < 2 ? '0' + s : s;
}

}  // namespace

std::string rpmText(const std::vector<core::SongRow>& rows) {
    std::vector<std::string> lines;
    lines.reserve(rows.size());
    for (const core::SongRow& row : rows) lines.push_back(oneLineAddress(row.address));
    return core::utf8ToGbk(core::crlfLines(lines), core::Unencodable::PercentUtf8);
}

std::string asxText(const std::vector<core::SongRow>& rows, std::string_view title) {
    std::vector<std::string> lines;
    lines.reserve(rows.size() * 3 + 3);
    lines.emplace_back("<asx version = \"3.0\">");
    lines.push_back("<title>" + std::string(title) + "</title>");
    for (const core::SongRow& row : rows) {
        lines.emplace_back("<entry>");
        lines.push_back("<ref href = \"" + markupAddress(row.address) + "\"/>");
        lines.emplace_back("</entry>");
    }
    lines.emplace_back("</asx>");
    return core::utf8ToGbk(core::crlfLines(lines), core::Unencodable::NumericReference);
}

std::string playListText(const std::vector<core::SongRow>& rows) {
    return playerKindOf(rows) == PlayerKind::Real ? rpmText(rows) : asxText(rows);
}

std::string proposedSaveName(const std::tm& t, std::string_view searchText, PlayerKind kind) {
    std::string name = std::to_string(t.tm_year + 1900) + twoDigits(t.tm_mon + 1) +
                       twoDigits(t.tm_mday) + '-' + twoDigits(t.tm_hour) + twoDigits(t.tm_min) +
                       twoDigits(t.tm_sec);
    for (const char c : trimmed(searchText)) name += c == '/' ? '_' : c;
    name += kind == PlayerKind::Real ? ".rpm" : ".asx";
    return name;
}

SavePreparation prepareSave(const std::vector<core::SongRow>& playList,
                            const std::vector<core::SongRow>& selection,
                            std::string_view searchText, const std::tm& localTime) {
    SavePreparation prep;
    std::vector<core::SongRow> rows = playList;
    if (lacksFileRows(rows)) {
        prep.ranAdd = true;
        prep.add = addToPlayList(rows, selection);
        std::vector<core::SongRow> unusedCardList;
        applyAdd(prep.add, rows, unusedCardList);
    }
    if (lacksFileRows(rows)) return prep;
    prep.proceed = true;
    prep.bytes = playListText(rows);
    prep.proposedName = proposedSaveName(localTime, searchText, playerKindOf(rows));
    return prep;
}

std::vector<std::string> playListLines(std::string_view bytes) {
    const std::size_t nul = bytes.find('\0');
    if (nul != std::string_view::npos) bytes = bytes.substr(0, nul);
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n') continue;
        lines.emplace_back(bytes.substr(start, i - start));
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < bytes.size()) lines.emplace_back(bytes.substr(start));
    return lines;
}

bool isRpmPath(std::string_view path) {
    if (path.size() < 3) return false;
    std::string tail(path.substr(path.size() - 3));
    for (char& c : tail) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return tail == "RPM";
}

std::vector<core::SongRow> loadedRows(std::string_view bytes, bool rpm) {
    const std::vector<std::string> lines = playListLines(bytes);
    std::vector<core::SongRow> rows;
    if (rpm) {
        for (const std::string& line : lines) rows.push_back(core::fileLine(core::gbkToUtf8(line)));
        return rows;
    }
    const std::size_t groups = lines.empty() ? 0 : (lines.size() - 1) / 3;
    for (std::size_t k = 1; k <= groups; ++k) {
        rows.push_back(core::fileLine(core::gbkToUtf8(lines[3 * k])));
    }
    return rows;
}

LoadedFile readPlayListFile(const std::string& path) {
    LoadedFile out;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        out.error = "cannot read " + path + ": " + std::strerror(errno);
        return out;
    }
    std::string bytes;
    char buffer[65536];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
    const bool failed = std::ferror(file) != 0;
    const int error = errno;
    std::fclose(file);
    if (failed) {
        out.error = "cannot read " + path + ": " + std::strerror(error);
        return out;
    }
    out.rows = loadedRows(bytes, isRpmPath(path));
    return out;
}

std::optional<std::string> writePlayListFile(const std::string& path, std::string_view bytes) {
    return core::writeFileAtomically(path, bytes);
}

}  // namespace melorin::player
