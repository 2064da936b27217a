// SPDX-License-Identifier: GPL-2.0-or-later
// JSON output. Strings are escaped losslessly: names and messages from other writers need
// not be UTF-8, so a byte that is not part of valid UTF-8 is written as the escape
// \udcXX, XX being the byte in hex (U+DC80 to U+DCFF; the convention of Python's
// "surrogateescape"). Valid UTF-8 never yields these code points, so the original bytes
// can always be recovered.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace lumora::cli {

// TEXT as a JSON string literal, quotes included.
std::string JsonString(std::string_view text);

// {"key": value, ...} in the order the members were added.
class JsonObject {
public:
    JsonObject& String(const char* key, std::string_view text);
    // A message in its stored form, as a string with LF line breaks (FromStoredForm).
    JsonObject& StoredMessage(const char* key, std::string_view stored);
    JsonObject& Number(const char* key, int64_t number);
    JsonObject& Bool(const char* key, bool value);
    JsonObject& Null(const char* key);
    // `json` is a complete JSON value (an array or object made here).
    JsonObject& Raw(const char* key, const std::string& json);
    std::string Text() const { return "{" + m_members + "}"; }
    // Writes Text() and a line break to out without making it, for a large object.
    void Print(std::FILE* out) const;

private:
    JsonObject& Member(const char* key, const std::string& value);
    void Key(const char* key);
    std::string m_members;
};

// [item, ...] of complete JSON values.
std::string JsonArray(const std::vector<std::string>& items);
// ["text", ...].
std::string JsonStrings(const std::vector<std::string>& texts);

} // namespace lumora::cli
