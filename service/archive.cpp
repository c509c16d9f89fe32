#include "service/archive.h"

#include <algorithm>
#include <cstdio>

#include "service/catalogue.h"
#include "service/json.h"

namespace melorin::service {

namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32) s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32) s.remove_suffix(1);
    return s;
}

// A song's nominal size ("8.5 M", "512 K") in bytes.
std::int64_t nominalBytes(const std::string& size) {
    double value = 0;
    char unit = 'M';
    if (std::sscanf(size.c_str(), "%lf %c", &value, &unit) != 2) return 1 << 20;
    return static_cast<std::int64_t>(value * (unit == 'K' ? 1024 : 1024 * 1024));
}

std::string numbered(const char* pattern, int n) {
    char buf[64];
    std::snprintf(buf, sizeof buf, pattern, n);
    return buf;
}

// One album per singer: its five songs as tracks, each a FLAC original with two MP3s made
// from it, plus a cover and the item's metadata file.
ArchiveItem albumItem(int index, const Singer& singer) {
    ArchiveItem item;
    item.identifier = numbered("melorin-album-%02d", index + 1);
    item.title = std::string(singer.album);
    item.creators = {std::string(singer.name)};
    item.creatorsAsArray = index % 2 == 1;
    int track = 0;
    for (const Song& song : songs()) {
        if (song.singer != &singer) continue;
        const std::string base = numbered("%02d ", ++track) + std::string(song.title);
        const std::int64_t bytes = nominalBytes(song.size);
        item.files.push_back(
            {base + ".flac", "Flac", true, "", std::string(song.title), bytes * 3});
        item.files.push_back({base + ".mp3", "VBR MP3", false, base + ".flac", "", bytes});
        item.files.push_back(
            {base + "_64kb.mp3", "64Kbps MP3", false, base + ".flac", "", bytes / 3});
    }
    item.files.push_back({"cover.jpg", "JPEG", true, "", "", 48213});
    item.files.push_back({item.identifier + "_meta.xml", "Metadata", true, "", "", 1290});
    return item;
}

// Fifty items of one record each, all titled "老唱片 …": a search for 唱片 lists fifty items.
ArchiveItem recordItem(int n) {
    const Song& song = songs()[static_cast<std::size_t>(n - 1) % songs().size()];
    ArchiveItem item;
    item.identifier = numbered("melorin-78rpm-%02d", n);
    item.title = numbered("老唱片 第%d号：", n) + std::string(song.title);
    item.creators = {"百代唱片公司", std::string(song.singer->name)};
    item.creatorsAsArray = n % 2 == 0;
    const std::int64_t bytes = nominalBytes(song.size);
    item.files = {
        {"side-a.mp3", "128Kbps MP3", true, "", std::string(song.title), bytes},
        {"side-a_64kb.mp3", "64Kbps MP3", false, "side-a.mp3", "", bytes / 2},
        {"side-a.png", "PNG", false, "side-a.mp3", "", 20480},
    };
    return item;
}

std::vector<ArchiveItem> buildItems() {
    std::vector<ArchiveItem> items;
    for (std::size_t i = 0; i < singers().size(); ++i) {
        items.push_back(albumItem(static_cast<int>(i), singers()[i]));
    }
    ArchiveItem names;
    names.identifier = "melorin-names";
    names.title = "特别的文件名";
    names.creators = {"Melorin 演示"};
    names.files = {
        {"A side #1?.mp3", "VBR MP3", true, "", "A 面 #1?", 2621440},
        {"第二面/夜曲 (live).mp3", "128Kbps MP3", true, "", "夜曲（现场）", 3145728},
        {"第二面/夜曲 (live)_64kb.mp3", "64Kbps MP3", false, "第二面/夜曲 (live).mp3", "", 1572864},
        {"100% 纯音乐.mp3", "MP3", true, "", "", 1048576},
    };
    items.push_back(names);
    const Singer& first = singers().front();
    ArchiveItem restricted;
    restricted.identifier = "melorin-restricted";
    restricted.title = std::string(first.album) + "（馆内借阅）";
    restricted.creators = {std::string(first.name)};
    restricted.restricted = true;
    restricted.files = {{"01 借阅本.mp3", "VBR MP3", true, "", "借阅本", 4194304}};
    items.push_back(restricted);
    ArchiveItem dark;
    dark.identifier = "melorin-dark";
    dark.title = std::string(first.album) + "（已下架）";
    dark.creators = {std::string(first.name)};
    dark.dark = true;
    items.push_back(dark);
    for (int n = 1; n <= 50; ++n) items.push_back(recordItem(n));
    return items;
}

std::string creatorsJson(const ArchiveItem& item) {
    if (item.creatorsAsArray) return jsonStrings(item.creators);
    std::string joined;
    for (const std::string& c : item.creators) joined += (joined.empty() ? "" : "; ") + c;
    return jsonString(joined);
}

bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

}  // namespace

const std::vector<ArchiveItem>& archiveItems() {
    static const std::vector<ArchiveItem> items = buildItems();
    return items;
}

const ArchiveItem* archiveItem(std::string_view identifier) {
    for (const ArchiveItem& item : archiveItems()) {
        if (item.identifier == identifier) return &item;
    }
    return nullptr;
}

std::vector<const ArchiveItem*> findArchiveItems(std::string_view text) {
    std::vector<const ArchiveItem*> found;
    text = trimmed(text);
    if (text.empty()) return found;
    for (const ArchiveItem& item : archiveItems()) {
        bool hit = contains(item.title, text);
        for (const std::string& c : item.creators) hit = hit || contains(c, text);
        if (hit) found.push_back(&item);
    }
    return found;
}

std::optional<std::string> archiveQueryText(std::string_view query) {
    static constexpr std::string_view kHead = "(title:(";
    static constexpr std::string_view kTail = ")) AND mediatype:audio";
    if (!query.starts_with(kHead) || !query.ends_with(kTail)) return std::nullopt;
    // The title's words end at the first ")" that is not escaped.
    std::string words;
    for (std::size_t i = kHead.size(); i < query.size(); ++i) {
        if (query[i] == '\\' && i + 1 < query.size()) {
            words += query[++i];
        } else if (query[i] == ')') {
            const std::string_view rest = query.substr(i);
            if (!rest.starts_with(") OR creator:(")) return std::nullopt;
            return words;
        } else {
            words += query[i];
        }
    }
    return std::nullopt;
}

std::string archiveSearchAnswer(std::string_view text, int rows, int page) {
    const std::vector<const ArchiveItem*> found = findArchiveItems(text);
    const std::size_t start =
        static_cast<std::size_t>(std::max(page, 1) - 1) * static_cast<std::size_t>(rows);
    std::string docs;
    for (std::size_t i = start; i < found.size() && i < start + static_cast<std::size_t>(rows);
         ++i) {
        const ArchiveItem& item = *found[i];
        if (!docs.empty()) docs += ',';
        docs += "{\"identifier\":" + jsonString(item.identifier) +
                ",\"title\":" + jsonString(item.title) + ",\"creator\":" + creatorsJson(item) + "}";
    }
    return "{\"responseHeader\":{\"status\":0,\"QTime\":3,\"params\":{\"query\":" +
           jsonString(text) + ",\"qin\":" + jsonString(text) + ",\"fields\":\"identifier,title," +
           "creator\",\"wt\":\"json\",\"rows\":\"" + std::to_string(rows) +
           "\",\"start\":" + std::to_string(start) +
           "}},\"response\":{\"numFound\":" + std::to_string(found.size()) +
           ",\"start\":" + std::to_string(start) + ",\"docs\":[" + docs + "]}}";
}

std::string archiveMetadataAnswer(std::string_view identifier, std::string_view host) {
    const ArchiveItem* item = archiveItem(identifier);
    if (item == nullptr) return "{}";
    const std::string meta = "{\"identifier\":" + jsonString(item->identifier) +
                             ",\"mediatype\":\"audio\",\"title\":" + jsonString(item->title) +
                             ",\"creator\":" + creatorsJson(*item) +
                             ",\"collection\":[\"melorin-demo\",\"audio_music\"]" +
                             (item->restricted ? ",\"access-restricted-item\":\"true\"" : "") + "}";
    if (item->dark) return "{\"is_dark\":true,\"metadata\":" + meta + "}";
    std::string files;
    std::int64_t total = 0;
    for (const ArchiveFile& f : item->files) {
        if (!files.empty()) files += ',';
        files += "{\"name\":" + jsonString(f.name) +
                 ",\"source\":" + (f.original ? "\"original\"" : "\"derivative\"") +
                 ",\"format\":" + jsonString(f.format) + ",\"size\":\"" + std::to_string(f.size) +
                 "\"";
        if (!f.original) files += ",\"original\":" + jsonString(f.derivedFrom);
        if (!f.title.empty()) files += ",\"title\":" + jsonString(f.title) + ",\"length\":\"4.00\"";
        files += "}";
        total += f.size;
    }
    const std::string server = jsonString(host);
    return "{\"created\":1700000000,\"d1\":" + server + ",\"dir\":\"/items/" + item->identifier +
           "\",\"files\":[" + files + "],\"files_count\":" + std::to_string(item->files.size()) +
           ",\"item_size\":" + std::to_string(total) + ",\"metadata\":" + meta +
           ",\"server\":" + server + ",\"workable_servers\":[" + server + "]}";
}

DownloadCheck archiveDownload(std::string_view identifier, std::string_view name) {
    const ArchiveItem* item = archiveItem(identifier);
    if (item == nullptr || item->dark) return DownloadCheck::Missing;
    if (item->restricted) return DownloadCheck::Restricted;
    for (const ArchiveFile& f : item->files) {
        if (f.name == name && f.format.ends_with("MP3")) return DownloadCheck::Served;
    }
    return DownloadCheck::Missing;
}

}  // namespace melorin::service
