#include "service/faults.h"

#include <charconv>

namespace melorin::service {

std::string faultBytes(std::uint64_t offset, std::uint64_t length) {
    std::string out(length, '\0');
    for (std::uint64_t k = 0; k < length; ++k) out[k] = static_cast<char>(faultByte(offset + k));
    return out;
}

namespace {

bool number(const std::string& s, std::uint64_t& out) {
    const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return !s.empty() && ec == std::errc() && p == s.data() + s.size();
}

}  // namespace

std::optional<FaultRequest> parseFaultRequest(const std::multimap<std::string, std::string>& params,
                                              std::string& error) {
    FaultRequest r;
    for (const auto& [key, value] : params) {
        std::uint64_t n = 0;
        const bool numeric = number(value, n);
        const auto need = [&](bool ok) {
            if (!ok) error = "bad value for " + key + ": " + value;
            return ok;
        };
        if (key == "size") {
            if (!need(numeric && n <= kFaultMaxSize)) return std::nullopt;
            r.size = n;
        } else if (key == "cut") {
            if (!need(numeric)) return std::nullopt;
            r.cut = n;
        } else if (key == "once") {
            r.once = value == "1";
        } else if (key == "id") {
            r.id = value;
        } else if (key == "norange") {
            r.norange = value == "1";
        } else if (key == "nolength") {
            r.nolength = value == "1";
        } else if (key == "status") {
            if (!need(numeric && n >= 400 && n <= 599)) return std::nullopt;
            r.status = static_cast<int>(n);
        } else if (key == "rangedstatus") {
            if (!need(numeric && n >= 400 && n <= 599)) return std::nullopt;
            r.rangedStatus = static_cast<int>(n);
        } else if (key == "redirect") {
            if (!need(numeric && n <= kFaultMaxRedirects)) return std::nullopt;
            r.redirect = static_cast<int>(n);
        } else if (key == "trickle") {
            if (!need(numeric && n > 0)) return std::nullopt;
            r.trickle = n;
        } else if (key == "rate" || key == "slowrate") {
            if (!need(numeric && n >= 1024 && n <= kFaultMaxSize)) return std::nullopt;
            (key == "rate" ? r.rate : r.slowRate) = n;
        } else if (key == "slowconn") {
            if (!need(numeric && n >= 1 && n <= 1000)) return std::nullopt;
            r.slowConn = static_cast<int>(n);
        } else if (key == "page") {
            r.page = value == "1";
        } else if (key == "version") {
            if (!need(numeric && n <= 1000000)) return std::nullopt;
            r.version = static_cast<int>(n);
        } else if (key == "longer") {
            if (!need(numeric && n <= kFaultMaxSize)) return std::nullopt;
            r.longer = n;
        }
    }
    return r;
}

}  // namespace melorin::service
