// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/Json.h"

#include <cstdint>
#include <cstdio>

namespace lumora::cli {
namespace {

// Length of the valid UTF-8 sequence at `pos`, or 0.
size_t Utf8SequenceLength(const std::string& text, size_t pos) {
    auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
    uint8_t lead = byte(pos);
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
    bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code < minimum || code > 0x10FFFF || surrogate ? 0 : length;
}

} // namespace

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        auto c = static_cast<uint8_t>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else if (c >= 0x80) {
            size_t length = Utf8SequenceLength(text, i);
            if (length == 0) {
                out += "\\ufffd";
                ++i;
                continue;
            }
            out.append(text, i, length);
            i += length;
            continue;
        } else {
            out += static_cast<char>(c);
        }
        ++i;
    }
    return out + "\"";
}

} // namespace lumora::cli
