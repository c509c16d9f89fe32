#include "search/archiveengine.h"

#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>
#include <cctype>
#include <map>

#include "search/catalogueaddress.h"
#include "search/cataloguejson.h"
#include "search/cataloguetext.h"

namespace melorin::search {

namespace {

QString key(const char* name) {
    return QString::fromLatin1(name);
}

// "VBR MP3", "128Kbps MP3", "64Kbps MP3", "MP3" …
bool isMp3Format(std::string format) {
    for (char& c : format) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return format.ends_with("MP3");
}

// VBR first, then the highest rate ("128Kbps MP3" → 128); a plain "MP3" last.
int formatRank(const std::string& format) {
    if (format.starts_with("VBR")) return 1'000'000;
    int rate = 0;
    for (const char c : format) {
        if (c < '0' || c > '9') break;
        rate = rate * 10 + (c - '0');
        if (rate > 100'000) break;
    }
    return rate;
}

struct FileEntry {
    QJsonObject fields;
    std::string name;
    std::string format;
    bool original = false;
    std::string derivedFrom;
    std::int64_t size = -1;
};

// Which original a file was made from: follows "original" through derivatives of derivatives.
std::string rootOf(const FileEntry& file, const std::map<std::string, const FileEntry*>& byName) {
    std::string root = file.name;
    const FileEntry* at = &file;
    for (int hop = 0; hop < 8 && !at->original && !at->derivedFrom.empty(); ++hop) {
        root = at->derivedFrom;
        const auto it = byName.find(root);
        if (it == byName.end()) break;
        at = it->second;
    }
    return root;
}

bool better(const FileEntry& a, const FileEntry& b) {
    const int ra = formatRank(a.format);
    const int rb = formatRank(b.format);
    if (ra != rb) return ra > rb;
    if (a.original != b.original) return a.original;
    return a.size > b.size;
}

// The last path segment without its extension.
std::string stem(const std::string& name) {
    std::string s = name.substr(name.rfind('/') == std::string::npos ? 0 : name.rfind('/') + 1);
    const std::size_t dot = s.rfind('.');
    if (dot != std::string::npos && dot > 0) s.resize(dot);
    return s;
}

}  // namespace

ArchiveEngine::ArchiveEngine(std::string_view base)
    : CatalogueEngine("互联网档案馆 Internet Archive", "互联网档案馆", base) {}

std::string archiveQuery(std::string_view text) {
    static constexpr std::string_view kSpecial = "+-&|!(){}[]^\"~*?:\\/";
    std::string escaped;
    for (const char c : text) {
        if (kSpecial.find(c) != std::string_view::npos) escaped += '\\';
        escaped += c;
    }
    return "(title:(" + escaped + ") OR creator:(" + escaped + ")) AND mediatype:audio";
}

std::string ArchiveEngine::pageAddress(std::string_view text, int page) const {
    return base() + "/advancedsearch.php?q=" + encodeComponent(archiveQuery(text)) +
           "&fl%5B%5D=identifier%2Ctitle%2Ccreator&rows=" + std::to_string(kItemsPerPage) +
           "&page=" + std::to_string(page) + "&output=json";
}

PageReading ArchiveEngine::readPage(const SearchState& state, const Answer& answer,
                                    const ListContext& list) const {
    PageReading out;
    out.page.state = state;
    const auto doc = readJson(answer.body);
    const QJsonObject response =
        doc && doc->isObject() ? doc->object().value(key("response")).toObject() : QJsonObject();
    const QJsonValue docs = response.value(key("docs"));
    if (!docs.isArray()) {
        out.failure = unreadableLine(shortName());
        return out;
    }
    const QJsonArray items = docs.toArray();
    for (const QJsonValue& v : items) {
        const QJsonObject o = v.toObject();
        const std::string id = jsonText(o.value(key("identifier")));
        if (id.empty()) continue;
        out.items.push_back({base() + "/metadata/" + encodeComponent(id), id,
                             jsonText(o.value(key("title"))), jsonText(o.value(key("creator")))});
    }
    std::int64_t start = jsonCount(response.value(key("start")));
    if (start < 0) start = static_cast<std::int64_t>(state.searchPage - 1) * kItemsPerPage;
    std::int64_t found = jsonCount(response.value(key("numFound")));
    if (found < 0) found = start + items.size();
    if (!list.countShown) out.page.countLabel = " 搜索结果  " + std::to_string(found);
    if (!items.isEmpty() && start + items.size() < found && !state.searchStopped) {
        out.page.state.searchPage = state.searchPage + 1;
        out.page.requestNextPage = true;
    }
    return out;
}

ItemReading ArchiveEngine::readItem(const ItemRef& item, const Answer& answer,
                                    const ListContext& list) const {
    const auto doc = readJson(answer.body);
    if (!doc || !doc->isObject()) return {{}, false};
    const QJsonObject top = doc->object();
    const QJsonObject meta = top.value(key("metadata")).toObject();
    for (const char* mark : {"is_dark", "access-restricted-item"}) {
        if (jsonTrue(top.value(key(mark))) || jsonTrue(meta.value(key(mark)))) return {};
    }
    // An unknown item answers {}.
    const QJsonArray files = top.value(key("files")).toArray();
    std::vector<FileEntry> entries;
    entries.reserve(static_cast<std::size_t>(files.size()));
    for (const QJsonValue& v : files) {
        const QJsonObject f = v.toObject();
        FileEntry e;
        e.fields = f;
        e.name = f.value(key("name")).toString().toStdString();
        e.format = jsonText(f.value(key("format")));
        e.original = jsonText(f.value(key("source"))) != "derivative";
        e.derivedFrom = f.value(key("original")).toString().toStdString();
        e.size = jsonCount(f.value(key("size")));
        if (!e.name.empty()) entries.push_back(std::move(e));
    }
    std::map<std::string, const FileEntry*> byName;
    for (const FileEntry& e : entries) byName.emplace(e.name, &e);

    // The best MP3 of every original, in the order the files are listed.
    std::map<std::string, std::size_t> bestOfRoot;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const FileEntry& e = entries[i];
        if (!isMp3Format(e.format) || jsonTrue(e.fields.value(key("private")))) continue;
        const auto [it, fresh] = bestOfRoot.emplace(rootOf(e, byName), i);
        if (!fresh && better(e, entries[it->second])) it->second = i;
    }
    std::vector<std::size_t> chosen;
    for (const auto& [root, index] : bestOfRoot) chosen.push_back(index);
    std::sort(chosen.begin(), chosen.end());

    std::string creator = jsonText(meta.value(key("creator")));
    if (creator.empty()) creator = item.creator;
    const std::string prefix = base() + "/download/" + encodeComponent(item.id) + "/";
    ItemReading out;
    for (const std::size_t i : chosen) {
        const FileEntry& e = entries[i];
        std::string title = jsonText(e.fields.value(key("title")));
        if (title.empty()) {
            const auto root = byName.find(rootOf(e, byName));
            if (root != byName.end()) title = jsonText(root->second->fields.value(key("title")));
        }
        if (title.empty()) title = stem(e.name);
        if (!creator.empty()) title += " - " + creator;
        const std::string address = prefix + encodePath(e.name);
        if (list.knownAddresses != nullptr && list.knownAddresses->contains(address)) continue;
        out.rows.push_back({core::RowShape::File,
                            {},
                            list.headerIcon,
                            std::move(title),
                            address,
                            sizeText(e.size),
                            "mp3"});
    }
    return out;
}

}  // namespace melorin::search
