// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/TerminalText.h"

#include "engine/MessageForm.h"
#include "text/FormatFileSize.h"

#include <cstdint>
#include <cstdio>
#include <unistd.h>

namespace lumora::cli {
namespace {

// The code point of the valid UTF-8 sequence at `pos`; `length` gets its byte count.
uint32_t DecodeAt(const std::string& text, size_t pos, size_t& length) {
    const auto lead = static_cast<uint8_t>(text[pos]);
    length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t i = 1; i < length && pos + i < text.size(); ++i)
        code = (code << 6) | (static_cast<uint8_t>(text[pos + i]) & 0x3F);
    return code;
}

// Characters that steer the terminal or the direction of the text around them.
bool IsControl(uint32_t code) {
    return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x061C || code == 0x200E ||
           code == 0x200F || (code >= 0x202A && code <= 0x202E) ||
           (code >= 0x2066 && code <= 0x2069);
}

std::string Escape(uint32_t code) {
    switch (code) {
    case '\a':
        return "\\a";
    case '\b':
        return "\\b";
    case '\t':
        return "\\t";
    case '\n':
        return "\\n";
    case '\v':
        return "\\v";
    case '\f':
        return "\\f";
    case '\r':
        return "\\r";
    default:
        break;
    }
    char escaped[16];
    if (code < 0x80)
        std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned>(code));
    else
        std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(code));
    return escaped;
}

// UTF-8 text with its control characters escaped as `kind` asks; `escaped` is set when
// one was.
std::string EscapedText(const std::string& shown, TextKind kind, bool& escaped) {
    std::string out;
    for (size_t pos = 0; pos < shown.size();) {
        size_t length = 1;
        const uint32_t code = DecodeAt(shown, pos, length);
        const bool kept =
            kind == TextKind::Message && (code == '\t' || code == '\n' || code == '\r');
        if (IsControl(code) && !kept) {
            out += Escape(code);
            escaped = true;
        } else if (kind == TextKind::Name && (code == '"' || code == '\\')) {
            out += '\\';
            out += static_cast<char>(code);
        } else {
            out.append(shown, pos, length);
        }
        pos += length;
    }
    return out;
}

} // namespace

bool IsTerminal(Stream stream) {
    static const bool out = ::isatty(STDOUT_FILENO) == 1;
    static const bool err = ::isatty(STDERR_FILENO) == 1;
    return stream == Stream::Out ? out : err;
}

std::string ForTerminal(std::string_view text, TextKind kind) {
    const std::string shown = ShowableText(text);
    bool escaped = false;
    std::string out = EscapedText(shown, kind, escaped);
    if (kind != TextKind::Name)
        return out;
    return escaped ? "\"" + out + "\"" : shown;
}

std::string PieceForTerminal(std::string_view piece, TextKind kind, bool utf8) {
    bool escaped = false;
    return EscapedText(utf8 ? std::string(piece) : Windows1252AsUtf8(piece), kind, escaped);
}

std::string Shown(std::string_view text, TextKind kind, Stream stream) {
    return IsTerminal(stream) ? ForTerminal(text, kind) : std::string(text);
}

std::string SizeText(int64_t bytes) {
    return FormatFileSize(bytes, bytes == 1 ? "byte" : "bytes");
}

} // namespace lumora::cli
