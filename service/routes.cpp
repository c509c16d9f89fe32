#include "service/routes.h"

#include <httplib.h>

#include <memory>

#include "service/audio.h"
#include "service/byterange.h"
#include "service/catalogueroutes.h"
#include "service/faultroute.h"
#include "service/pages.h"
#include "service/text.h"

namespace melorin::service {

RequestLog::~RequestLog() {
    if (file_) std::fclose(file_);
}

bool RequestLog::open(const std::string& path) {
    file_ = std::fopen(path.c_str(), "a");
    return file_ != nullptr;
}

void RequestLog::write(const std::string& method, const std::string& target,
                       const std::string& version) {
    std::lock_guard lock(mutex_);
    if (!file_) return;
    std::fprintf(file_, "%s %s %s\n", method.c_str(), target.c_str(), version.c_str());
    std::fflush(file_);
}

void RequestLog::write(const std::string& line) {
    std::lock_guard lock(mutex_);
    if (!file_) return;
    std::fprintf(file_, "%s\n", line.c_str());
    std::fflush(file_);
}

namespace {

using httplib::Request;
using httplib::Response;

}  // namespace

std::string requestHost(const Request& req, int port) {
    const std::string host = req.get_header_value("Host");
    const bool plain = !host.empty() && host.size() < 256 &&
                       host.find_first_not_of(
                           "abcdefghijklmnopqrstuvwxyz"
                           "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-:[]") == std::string::npos;
    return plain ? host : "127.0.0.1:" + std::to_string(port);
}

namespace {

int intParam(const Request& req, const char* key, int fallback) {
    if (!req.has_param(key)) return fallback;
    try {
        return std::stoi(req.get_param_value(key));
    } catch (const std::exception&) {
        return fallback;
    }
}

}  // namespace

void sendPage(Response& res, const std::string& html, int status) {
    res.status = status;
    res.set_content(toGbk(html), "text/html; charset=gbk");
}

void sendBytes(const Request& req, Response& res, const std::string& body,
               std::string_view contentType) {
    res.set_header("Accept-Ranges", "bytes");
    const std::string type(contentType);
    const RangeAnswer range = answerRange(req.get_header_value("Range"), body.size());
    switch (range.kind) {
        case RangeAnswer::Kind::Whole:
            res.status = 200;
            res.set_content(body, type);
            break;
        case RangeAnswer::Kind::Partial:
            res.status = 206;
            res.set_header("Content-Range", "bytes " + std::to_string(range.first) + "-" +
                                                std::to_string(range.last) + "/" +
                                                std::to_string(body.size()));
            res.set_content(body.substr(range.first, range.last - range.first + 1), type);
            break;
        case RangeAnswer::Kind::Unsatisfiable:
            res.status = 416;
            res.set_header("Content-Range", "bytes */" + std::to_string(body.size()));
            sendPage(res, errorPage(416, "请求的范围超出文件长度"), 416);
            break;
    }
}

namespace {

thread_local bool t_logged = false;

}  // namespace

void installRoutes(httplib::Server& server, const RouteOptions& options) {
    const int port = options.port;
    RequestLog* log = options.log;

    server.set_pre_routing_handler([log](const Request& req, Response&) {
        if (log) log->write(req.method, req.target, req.version);
        t_logged = true;
        // Ranges are answered by the routes themselves (cpp-httplib's own handling neither
        // clips an end past the body nor rejects a start past it). The request object is not
        // const; only the handler interface is.
        const_cast<Request&>(req).ranges.clear();
        return httplib::Server::HandlerResponse::Unhandled;
    });
    // Requests cpp-httplib answers before routing (a malformed Range) are logged here.
    server.set_logger([log](const Request& req, const Response&) {
        if (!t_logged && log && !req.method.empty())
            log->write(req.method, req.target, req.version);
        t_logged = false;
    });
    server.set_error_handler([](const Request& req, Response& res) {
        if (res.body.empty()) {
            res.set_content(toGbk(errorPage(res.status, req.path)), "text/html; charset=gbk");
        }
    });

    const auto ctx = [port](const Request& req) {
        return PageContext{requestHost(req, port), req.remote_addr};
    };

    server.Get("/",
               [ctx](const Request& req, Response& res) { sendPage(res, homePage(ctx(req))); });

    server.Get("/help.html",
               [ctx](const Request& req, Response& res) { sendPage(res, helpPage(ctx(req))); });

    server.Get("/m", [ctx](const Request& req, Response& res) {
        SearchQuery q;
        q.word = wordFromQuery(req.get_param_value("word"));
        const int lm = intParam(req, "lm", -1);
        if (lm >= 0 && lm < kKindCount) q.kind = static_cast<Kind>(lm);
        q.offset = std::max(0, intParam(req, "pn", 0));
        q.albumOnly = req.get_param_value("f") == "al";
        sendPage(res, resultPage(ctx(req), q));
    });

    server.Get("/f", [ctx](const Request& req, Response& res) {
        sendPage(res, flashPage(ctx(req), wordFromQuery(req.get_param_value("word")),
                                std::max(0, intParam(req, "pn", 0))));
    });

    // Result links lead here; only addresses on this service are followed.
    server.Get("/r", [port](const Request& req, Response& res) {
        const std::string host = requestHost(req, port);
        const auto at = req.target.find("?url=");
        const std::string url = at == std::string::npos ? "" : req.target.substr(at + 5);
        if (url.rfind("http://" + host + "/", 0) != 0) {
            sendPage(res, errorPage(400, "只跳转到本站地址"), 400);
            return;
        }
        res.status = 302;
        res.set_header("Location", url);
        res.set_content("redirect\n", "text/plain");
    });

    server.Get("/ngeshou.html", [ctx](const Request& req, Response& res) {
        sendPage(res, chartPage(ctx(req), Chart::MaleSingers));
    });
    server.Get("/ygeshou.html", [ctx](const Request& req, Response& res) {
        sendPage(res, chartPage(ctx(req), Chart::FemaleSingers));
    });
    server.Get("/mp3.html", [ctx](const Request& req, Response& res) {
        sendPage(res, chartPage(ctx(req), Chart::Songs));
    });
    server.Get("/singer/singers.html", [ctx](const Request& req, Response& res) {
        sendPage(res, singerIndexPage(ctx(req)));
    });
    server.Get(R"(/singer/(\d{1,3})\.html)", [ctx](const Request& req, Response& res) {
        const std::string page = singerPage(ctx(req), std::stoi(req.matches[1].str()));
        if (page.empty()) {
            sendPage(res, errorPage(404, req.path), 404);
        } else {
            sendPage(res, page);
        }
    });
    server.Get(R"(/flash/(\d{3})-(\d)\.html)", [ctx](const Request& req, Response& res) {
        const int id = std::stoi(req.matches[1].str());
        const int version = std::stoi(req.matches[2].str());
        if (id >= static_cast<int>(songs().size()) || version >= kFlashVersions) {
            sendPage(res, errorPage(404, req.path), 404);
            return;
        }
        sendPage(res, flashItemPage(ctx(req), songs()[static_cast<std::size_t>(id)], version));
    });

    server.Get(R"(/music/.+)", [port](const Request& req, Response& res) {
        const auto file = parseSongPath(req.path);
        if (!file) {
            sendPage(res, errorPage(404, req.path), 404);
            return;
        }
        const Kind kind = file->song->kind;
        sendBytes(req, res, servedAudio(kind, requestHost(req, port)), audioContentType(kind));
    });
    server.Get(R"(/audio/sample\.(mp3|rm|wma|asf|ram))", [port](const Request& req, Response& res) {
        const Kind kind = *kindFromExtension(req.matches[1].str());
        sendBytes(req, res, servedAudio(kind, requestHost(req, port)), audioContentType(kind));
    });

    installCatalogueRoutes(server, {port, options.catalogueDelayMs});

    if (options.faults) {
        auto memory = std::make_shared<FaultMemory>();
        RequestLog* sentLog = options.sentLog;
        server.Get(R"(/fault/[^/]+)", [port, memory, sentLog](const Request& req, Response& res) {
            serveFault(req, res, requestHost(req, port), *memory, sentLog);
        });
    }
}

}  // namespace melorin::service
