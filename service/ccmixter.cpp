#include "service/ccmixter.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "service/catalogue.h"
#include "service/json.h"

namespace melorin::service {

namespace {

struct UploadFile {
    std::string path;  // below /content/
    std::string ext;
    std::string mime;
    long long bytes;
};

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32) s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32) s.remove_suffix(1);
    return s;
}

std::string userOf(const Song& song) {
    char buf[16];
    const auto singer = song.singer - singers().data();
    std::snprintf(buf, sizeof buf, "user%02d", static_cast<int>(singer) + 1);
    return buf;
}

long long bytesOf(const Song& song) {
    double value = 0;
    char unit = 'M';
    if (std::sscanf(song.size.c_str(), "%lf %c", &value, &unit) != 2) return 1 << 20;
    return static_cast<long long>(value * (unit == 'K' ? 1024 : 1024 * 1024));
}

// Every upload has its MP3; every third one its stems as a zip, every fifth an instrumental.
std::vector<UploadFile> filesOf(const Song& song) {
    const std::string user = userOf(song);
    const std::string stem = user + "/" + user + " - " + std::string(song.title);
    std::vector<UploadFile> files = {{stem + ".mp3", "mp3", "audio/mpeg", bytesOf(song)}};
    if (song.id % 3 == 0)
        files.push_back({stem + "_stems.zip", "zip", "application/zip", 31457280});
    if (song.id % 5 == 0) {
        files.push_back({stem + " (instrumental).mp3", "mp3", "audio/mpeg", bytesOf(song) - 4096});
    }
    return files;
}

bool matches(const Song& song, std::string_view text) {
    const auto has = [text](std::string_view s) { return s.find(text) != std::string_view::npos; };
    return has(song.title) || has(song.singer->name) || has(userOf(song)) || has(song.style);
}

std::string uploadJson(const Song& song, std::string_view host) {
    const std::string user = userOf(song);
    std::string files;
    for (const UploadFile& f : filesOf(song)) {
        if (!files.empty()) files += ',';
        char size[32];
        std::snprintf(size, sizeof size, " (%.2fMB)", static_cast<double>(f.bytes) / 1048576.0);
        files += "{\"file_id\":" + std::to_string(90000 + song.id) + ",\"download_url\":" +
                 jsonString("http://" + std::string(host) + "/content/" + f.path) +
                 ",\"file_filesize\":" + jsonString(size) +
                 ",\"file_rawsize\":" + std::to_string(f.bytes) +
                 ",\"file_format_info\":{\"media-type\":" +
                 (f.ext == "mp3" ? "\"audio\"" : "\"archive\"") +
                 ",\"default-ext\":" + jsonString(f.ext) + ",\"mime_type\":" + jsonString(f.mime) +
                 ",\"ps\":\"4:05\"}}";
    }
    std::string out = "{\"upload_id\":" + std::to_string(70000 + song.id) +
                      ",\"upload_name\":" + jsonString(song.title) +
                      ",\"user_name\":" + jsonString(user);
    // Every other upload names no real name; Melorin falls back to the user name.
    if (song.id % 2 == 0) out += ",\"user_real_name\":" + jsonString(song.singer->name);
    out += ",\"upload_tags\":" + jsonString(std::string(song.style) + ",melorin_demo") +
           ",\"file_page_url\":" +
           jsonString("http://" + std::string(host) + "/files/" + user + "/" +
                      std::to_string(70000 + song.id)) +
           ",\"license_url\":\"https://creativecommons.org/licenses/by-nc/4.0/\"";
    if (song.id == 0) {
        // As real answers have them: not JSON.
        out += ",\"upload_num_scores\":007,\"upload_description\":\"第一行\n第二行\t完\"";
    } else {
        out += ",\"upload_num_scores\":" + std::to_string(song.id % 9);
    }
    return out + ",\"files\":[" + files + "]}";
}

}  // namespace

std::string ccmixterAnswer(std::string_view host, std::string_view text, int limit, int offset) {
    text = trimmed(text);
    std::vector<const Song*> found;
    if (!text.empty()) {
        for (const Song& song : songs()) {
            if (matches(song, text)) found.push_back(&song);
        }
    }
    std::string out = "[";
    const std::size_t first = static_cast<std::size_t>(std::max(offset, 0));
    for (std::size_t i = first; i < found.size() && i < first + static_cast<std::size_t>(limit);
         ++i) {
        if (out.size() > 1) out += ',';
        out += uploadJson(*found[i], host);
    }
    return out + "]";
}

bool ccmixterServes(std::string_view path) {
    for (const Song& song : songs()) {
        for (const UploadFile& f : filesOf(song)) {
            if (f.ext == "mp3" && f.path == path) return true;
        }
    }
    return false;
}

}  // namespace melorin::service
