// The routes of the two music catalogues the service imitates (service/archive.h,
// service/ccmixter.h), and the answers every route shares.
#pragma once

#include <httplib.h>

#include <string>
#include <string_view>

namespace melorin::service {

// The Host header when it is a plain host[:port]; anything else (absent, or characters that
// do not belong in a host) falls back to the loopback address, so no header text reaches a page.
std::string requestHost(const httplib::Request& req, int port);
// Sends `body`, or the part a Range header asks for.
void sendBytes(const httplib::Request& req, httplib::Response& res, const std::string& body,
               std::string_view contentType);

struct CatalogueRouteOptions {
    int port = 0;
    int delayMs = 0;  // every search and metadata answer waits this long, as a distant server
};

// advancedsearch.php, /metadata/ID, /download/ID/NAME (a redirect to /items/ID/NAME, where
// the file is), /api/query and /content/USER/FILE. The search and metadata routes answer
// only a User-Agent that names Melorin ("Melorin/…") and search texts in UTF-8.
void installCatalogueRoutes(httplib::Server& server, const CatalogueRouteOptions& options);

}  // namespace melorin::service
