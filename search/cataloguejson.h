#pragma once
// The catalogues answer JSON, read with Qt's JSON classes. Real answers are not always valid
// JSON (numbers with leading zeros, raw control characters inside strings, stray invalid
// UTF-8), so the text is mended first; what still is not JSON is refused.
#include <QJsonDocument>
#include <QJsonValue>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace melorin::search {

// The text with the known faults mended: leading zeros of numbers dropped ("007" → "7",
// "-00.5" → "-0.5"), control characters inside strings escaped, invalid UTF-8 replaced by
// U+FFFD, a byte-order mark removed. Valid JSON comes out unchanged.
std::string mendedJson(std::string_view raw);

// The answer as a JSON document (object or array), mended first; nothing when it is not JSON.
std::optional<QJsonDocument> readJson(std::string_view body);

// A field that may be a string, an array of strings or a number, as one text: array elements
// joined by ", ", numbers in decimal, control characters as blanks, trimmed. "" otherwise.
std::string jsonText(const QJsonValue& value);

// A whole number given as a number or as a string of digits ("8419768"); -1 otherwise.
std::int64_t jsonCount(const QJsonValue& value);

// true, "true" (any case) and 1 hold; everything else does not.
bool jsonTrue(const QJsonValue& value);

}  // namespace melorin::search
