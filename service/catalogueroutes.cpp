#include "service/catalogueroutes.h"

#include <chrono>
#include <thread>

#include "service/archive.h"
#include "service/audio.h"
#include "service/ccmixter.h"
#include "service/text.h"

namespace melorin::service {

namespace {

using httplib::Request;
using httplib::Response;

constexpr const char* kJson = "application/json; charset=utf-8";

void sendJsonError(Response& res, int status, const std::string& message) {
    res.status = status;
    res.set_content("{\"error\":\"" + message + "\"}", kJson);
}

// Melorin's own requests name it; anything else is turned away as a real catalogue might.
bool clientNamed(const Request& req, Response& res) {
    if (req.get_header_value("User-Agent").starts_with("Melorin/")) return true;
    sendJsonError(res, 403, "name your client in the User-Agent");
    return false;
}

bool utf8Text(const std::string& text, Response& res) {
    if (isValidUtf8(text)) return true;
    sendJsonError(res, 400, "the search text is not UTF-8");
    return false;
}

int intParam(const Request& req, const char* key, int fallback, int low, int high) {
    if (!req.has_param(key)) return fallback;
    try {
        return std::clamp(std::stoi(req.get_param_value(key)), low, high);
    } catch (const std::exception&) {
        return fallback;
    }
}

void pause(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// A page that is no JSON at all, for a search text that asks for it.
bool brokenPage(const std::string& text, Response& res) {
    if (text != "坏页") return false;
    res.status = 200;
    res.set_content("<html><body>Service Unavailable</body></html>", "text/html");
    return true;
}

}  // namespace

void installCatalogueRoutes(httplib::Server& server, const CatalogueRouteOptions& options) {
    const int port = options.port;
    const int delay = options.delayMs;

    server.Get("/advancedsearch.php", [delay](const Request& req, Response& res) {
        if (!clientNamed(req, res)) return;
        const std::string q = req.get_param_value("q");
        if (!utf8Text(q, res)) return;
        pause(delay);
        const auto text = archiveQueryText(q);
        if (!text) {
            sendJsonError(res, 400, "unexpected query");
            return;
        }
        if (brokenPage(*text, res)) return;
        res.set_content(archiveSearchAnswer(*text, intParam(req, "rows", 50, 1, 100),
                                            intParam(req, "page", 1, 1, 10000)),
                        kJson);
    });

    server.Get(R"(/metadata/([^/]+))", [port, delay](const Request& req, Response& res) {
        if (!clientNamed(req, res)) return;
        pause(delay);
        res.set_content(archiveMetadataAnswer(req.matches[1].str(), requestHost(req, port)), kJson);
    });

    // The download route sends the client on to the storage path, as the real one sends it to
    // a storage host; the target goes on encoded exactly as it came.
    server.Get(R"(/download/([^/]+)/(.+))", [port](const Request& req, Response& res) {
        const std::string id = req.matches[1].str();
        switch (archiveDownload(id, req.matches[2].str())) {
            case DownloadCheck::Served:
                break;
            case DownloadCheck::Restricted:
                sendJsonError(res, 403, "this item is not available");
                return;
            case DownloadCheck::Missing:
                sendJsonError(res, 404, "no such file");
                return;
        }
        const std::string target = req.target.substr(0, req.target.find('?'));
        res.status = 302;
        res.set_header("Location", "http://" + requestHost(req, port) + "/items" +
                                       target.substr(std::string_view("/download").size()));
        res.set_content("redirect\n", "text/plain");
    });

    server.Get(R"(/items/([^/]+)/(.+))", [port](const Request& req, Response& res) {
        if (archiveDownload(req.matches[1].str(), req.matches[2].str()) != DownloadCheck::Served) {
            sendJsonError(res, 404, "no such file");
            return;
        }
        sendBytes(req, res, servedAudio(Kind::Mp3, requestHost(req, port)),
                  audioContentType(Kind::Mp3));
    });

    server.Get("/api/query", [port, delay](const Request& req, Response& res) {
        if (!clientNamed(req, res)) return;
        const std::string text = req.get_param_value("search");
        if (!utf8Text(text, res)) return;
        pause(delay);
        if (brokenPage(text, res)) return;
        res.set_content(
            ccmixterAnswer(requestHost(req, port), text, intParam(req, "limit", 10, 1, 100),
                           intParam(req, "offset", 0, 0, 1000000)),
            kJson);
    });

    server.Get(R"(/content/(.+))", [port](const Request& req, Response& res) {
        if (!ccmixterServes(req.matches[1].str())) {
            sendJsonError(res, 404, "no such file");
            return;
        }
        sendBytes(req, res, servedAudio(Kind::Mp3, requestHost(req, port)),
                  audioContentType(Kind::Mp3));
    });
}

}  // namespace melorin::service
