// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/Json.h"

#include <cstdio>

namespace lumora::cli {
namespace {

// Length of the valid UTF-8 sequence at `pos`, or 0.
size_t Utf8SequenceLength(std::string_view text, size_t pos) {
    auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
    const uint8_t lead = byte(pos);
    size_t length = 0;
    uint32_t minimum = 0;
    uint32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (pos + length > text.size())
        return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (byte(pos + i) & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code < minimum || code > 0x10FFFF || surrogate ? 0 : length;
}

std::string UnicodeEscape(unsigned code) {
    char escaped[16];
    std::snprintf(escaped, sizeof escaped, "\\u%04x", code);
    return escaped;
}

// Appends text to out as a JSON string literal. With `storedLineBreaks`, text is a
// message in its stored form and every CR LF is written as an LF (FromStoredForm).
void AppendJsonString(std::string& out, std::string_view text, bool storedLineBreaks) {
    out += '"';
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<uint8_t>(text[i]);
        size_t length = 1;
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            if (!storedLineBreaks || i + 1 == text.size() || text[i + 1] != '\n')
                out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            out += UnicodeEscape(c);
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if ((length = Utf8SequenceLength(text, i)) != 0) {
            out.append(text.substr(i, length));
        } else {
            length = 1;
            out += UnicodeEscape(0xDC00u + c);
        }
        i += length;
    }
    out += '"';
}

} // namespace

std::string JsonString(std::string_view text) {
    std::string out;
    AppendJsonString(out, text, false);
    return out;
}

JsonObject& JsonObject::Member(const char* key, const std::string& value) {
    Key(key);
    m_members += value;
    return *this;
}

void JsonObject::Key(const char* key) {
    if (!m_members.empty())
        m_members += ", ";
    AppendJsonString(m_members, key, false);
    m_members += ": ";
}

JsonObject& JsonObject::String(const char* key, std::string_view text) {
    Key(key);
    // Room for the text and a few escapes, so that a long text grows the members once.
    m_members.reserve(m_members.size() + text.size() + text.size() / 8 + 2);
    AppendJsonString(m_members, text, false);
    return *this;
}

JsonObject& JsonObject::StoredMessage(const char* key, std::string_view stored) {
    Key(key);
    m_members.reserve(m_members.size() + stored.size() + stored.size() / 8 + 2);
    AppendJsonString(m_members, stored, true);
    return *this;
}

JsonObject& JsonObject::Number(const char* key, int64_t number) {
    return Member(key, std::to_string(number));
}

JsonObject& JsonObject::Bool(const char* key, bool value) {
    return Member(key, value ? "true" : "false");
}

JsonObject& JsonObject::Null(const char* key) {
    return Member(key, "null");
}

JsonObject& JsonObject::Raw(const char* key, const std::string& json) {
    return Member(key, json);
}

void JsonObject::Print(std::FILE* out) const {
    std::fputc('{', out);
    std::fwrite(m_members.data(), 1, m_members.size(), out);
    std::fputs("}\n", out);
}

std::string JsonArray(const std::vector<std::string>& items) {
    std::string out = "[";
    for (const std::string& item : items)
        out += (out.size() > 1 ? ", " : "") + item;
    return out + "]";
}

std::string JsonStrings(const std::vector<std::string>& texts) {
    std::vector<std::string> items;
    for (const std::string& text : texts)
        items.push_back(JsonString(text));
    return JsonArray(items);
}

} // namespace lumora::cli
