#include "search/ccmixterengine.h"

#include <QJsonArray>
#include <QJsonObject>
#include <cctype>
#include <unordered_set>

#include "search/catalogueaddress.h"
#include "search/cataloguejson.h"
#include "search/cataloguetext.h"

namespace melorin::search {

namespace {

QString key(const char* name) {
    return QString::fromLatin1(name);
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Whether a file of an upload is of the kind searched: by its default extension, or for MP3
// by its type when the extension is missing. Stems come as zip files and never match.
bool ofKind(const QJsonObject& format, std::string_view extension) {
    const std::string ext = lower(jsonText(format.value(key("default-ext"))));
    if (!ext.empty()) return ext == extension;
    return extension == "mp3" && lower(jsonText(format.value(key("mime_type")))) == "audio/mpeg";
}

}  // namespace

CcMixterEngine::CcMixterEngine(std::string_view base)
    : CatalogueEngine("ccMixter 知识共享音乐", "ccMixter", base) {}

std::string CcMixterEngine::pageAddress(std::string_view text, int page) const {
    const long long offset = static_cast<long long>(page - 1) * kUploadsPerPage;
    return base() + "/api/query?f=json&search=" + encodeComponent(text) +
           "&limit=" + std::to_string(kUploadsPerPage) + "&offset=" + std::to_string(offset);
}

PageReading CcMixterEngine::readPage(const SearchState& state, const Answer& answer,
                                     const ListContext& list) const {
    PageReading out;
    out.page.state = state;
    const auto doc = readJson(answer.body);
    if (!doc || !doc->isArray()) {
        out.failure = unreadableLine(shortName());
        return out;
    }
    const std::string_view extension = kindExtension(list.kindIndex);
    const QJsonArray uploads = doc->array();
    std::unordered_set<std::string> onThisPage;
    std::vector<core::SongRow>& rows = out.page.rows;
    for (const QJsonValue& u : uploads) {
        const QJsonObject upload = u.toObject();
        std::string title = jsonText(upload.value(key("upload_name")));
        std::string creator = jsonText(upload.value(key("user_real_name")));
        if (creator.empty()) creator = jsonText(upload.value(key("user_name")));
        if (!creator.empty()) title += (title.empty() ? "" : " - ") + creator;
        for (const QJsonValue& f : upload.value(key("files")).toArray()) {
            const QJsonObject file = f.toObject();
            if (extension.empty() ||
                !ofKind(file.value(key("file_format_info")).toObject(), extension)) {
                continue;
            }
            const auto address = wireFileAddress(jsonText(file.value(key("download_url"))));
            if (!address || onThisPage.contains(*address) ||
                (list.knownAddresses != nullptr && list.knownAddresses->contains(*address))) {
                continue;
            }
            onThisPage.insert(*address);
            rows.push_back({core::RowShape::File, std::to_string(list.rowsBefore + rows.size() + 1),
                            list.headerIcon, title, *address,
                            sizeText(jsonCount(file.value(key("file_rawsize")))),
                            std::string(extension)});
        }
    }
    out.page.state.searchRowCount = state.searchRowCount + static_cast<int>(rows.size());
    if (!rows.empty() && !state.searchStopped) {
        out.page.state.searchPage = state.searchPage + 1;
        out.page.requestNextPage = true;
    }
    return out;
}

}  // namespace melorin::search
