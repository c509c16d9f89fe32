// The demo service's imitation of the Internet Archive: invented audio items answered in the
// shapes of advancedsearch.php and /metadata/IDENTIFIER, and the files its download route
// serves. All texts are UTF-8.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace melorin::service {

struct ArchiveFile {
    std::string name;  // may hold blanks, "#", "?", "%", Chinese and a folder
    std::string format;
    bool original = true;
    std::string derivedFrom;  // a derivative's original
    std::string title;        // empty: the file has none
    std::int64_t size = 0;
};

struct ArchiveItem {
    std::string identifier;
    std::string title;
    std::vector<std::string> creators;
    bool creatorsAsArray = false;  // the answers give them as an array, else as one string
    bool restricted = false;       // "access-restricted-item": "true"
    bool dark = false;             // "is_dark": true, no files
    std::vector<ArchiveFile> files;
};

const std::vector<ArchiveItem>& archiveItems();
const ArchiveItem* archiveItem(std::string_view identifier);

// Items whose title or a creator contains `text` (blanks trimmed), in catalogue order; an
// empty text finds nothing.
std::vector<const ArchiveItem*> findArchiveItems(std::string_view text);

// The words of the query Melorin sends, "(title:(W) OR creator:(W)) AND mediatype:audio",
// with the query language's escapes taken out; nothing for any other query.
std::optional<std::string> archiveQueryText(std::string_view query);

// advancedsearch.php's answer for page `page` (1-based) of `rows` items.
std::string archiveSearchAnswer(std::string_view text, int rows, int page);
// /metadata/IDENTIFIER's answer; "{}" for an unknown item. `host` is named as its server.
std::string archiveMetadataAnswer(std::string_view identifier, std::string_view host);

enum class DownloadCheck { Served, Missing, Restricted };
// Whether the download route gives the file: only MP3 files of items that are neither dark
// nor restricted are served (with the sample tune).
DownloadCheck archiveDownload(std::string_view identifier, std::string_view name);

}  // namespace melorin::service
