// The test-only fault files (started with --faults): their content and the modifiers of a
// "/fault/<name>?size=N&..." request.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace melorin::service {

// Byte i of every fault file; tests compute the expected digest from the same rule.
inline unsigned char faultByte(std::uint64_t i) {
    return static_cast<unsigned char>((i ^ (i >> 8) ^ (i >> 16)) * 167 + 13);
}
// Bytes [offset, offset + length) of a fault file.
std::string faultBytes(std::uint64_t offset, std::uint64_t length);

inline constexpr std::uint64_t kFaultDefaultSize = 1048576;
inline constexpr std::uint64_t kFaultMaxSize = 256ull << 20;
inline constexpr int kFaultMaxRedirects = 50;

struct FaultRequest {
    std::uint64_t size = kFaultDefaultSize;
    std::optional<std::uint64_t> cut;  // close after this many body bytes
    bool once = false;                 // cut only the first answer to a ranged request per id
    std::string id;
    bool norange = false;
    bool nolength = false;
    std::optional<int> status;        // an error status (400-599) answered with an HTML page
    std::optional<int> rangedStatus;  // the same, only for requests with a Range header
    int redirect = 0;                 // hops of 302 still to go
    std::uint64_t trickle = 0;        // bytes per 100 ms; 0 = at full speed
    std::uint64_t longer = 0;         // bytes sent beyond the announced length
    std::uint64_t rate = 0;           // bytes per second on every connection; 0 = at full speed
    std::uint64_t slowRate = 0;       // ...but this rate on connection number slowConn of the id
    int slowConn = 0;                 // 1 = the first connection to arrive for the id
    bool page = false;                // 200 with a web page instead of the file (an expired link)
    int version = 1;                  // in the ETag: another version is another file for If-Range
};

// Reads the modifiers from decoded query parameters. Empty with `error` set when a value is
// not a number or out of range.
std::optional<FaultRequest> parseFaultRequest(const std::multimap<std::string, std::string>& params,
                                              std::string& error);

}  // namespace melorin::service
