#pragma once
// The row that every list of the program holds: the result list, the download queue, the
// play list and the card list. Text is UTF-8 throughout; GBK appears only on the wire and in
// the files the program writes (see core/text.h).
#include <string>

namespace melorin::core {

// What a row stands for. Readers decide by the shape, never by counting empty columns.
enum class RowShape {
    File,       // a found file: title, address, size and type
    ListEntry,  // an entry of a chart, singer or album page: a name and a link remainder
    FileLine,   // a line read back from a play-list file: only the caption
};

struct SongRow {
    RowShape shape = RowShape::File;
    std::string caption;  // the first column: a running number as text, or a file's line
    int icon = 0;         // index into the kind icons, 0 MP3 to 5 FLASH
    std::string title;    // title or singer; a list entry's name
    std::string address;  // the file's address; a list entry's link remainder
    std::string size;     // e.g. "3.5M"; empty for other shapes
    std::string type;     // e.g. "mp3", "rm", "html"; empty for other shapes

    [[nodiscard]] bool isFile() const { return shape == RowShape::File; }
    bool operator==(const SongRow&) const = default;
};

inline SongRow listEntry(std::string caption, std::string name, std::string link) {
    return {RowShape::ListEntry, std::move(caption), 0, std::move(name), std::move(link), {}, {}};
}

inline SongRow fileLine(std::string line) {
    return {RowShape::FileLine, std::move(line), 0, {}, {}, {}, {}};
}

}  // namespace melorin::core
