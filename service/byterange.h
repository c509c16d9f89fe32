// The answer to a Range request header for a body of known length.
#pragma once

#include <cstdint>
#include <string_view>

namespace melorin::service {

struct RangeAnswer {
    enum class Kind { Whole, Partial, Unsatisfiable };
    Kind kind = Kind::Whole;
    std::uint64_t first = 0;  // Partial only: first and last byte, both included
    std::uint64_t last = 0;
};

// One "bytes=a-b", "bytes=a-" or "bytes=-n" range. An end past the body is cut to the body's
// last byte; a start at or past the end, or an empty suffix, cannot be satisfied. Headers of
// another unit, several ranges or bad syntax are ignored (the whole body is sent).
RangeAnswer answerRange(std::string_view header, std::uint64_t length);

}  // namespace melorin::service
