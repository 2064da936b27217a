// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/MessageForm.h"

#include <cstdint>

namespace lumora {
namespace {

// Windows-1252 bytes 0x80 to 0x9F; the five it leaves undefined map to themselves.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

} // namespace

std::string ToStoredForm(std::string_view text) {
    std::string stored;
    stored.reserve(text.size() + text.size() / 16);
    StoredFormAppender(stored).Append(text);
    return stored;
}

std::string FromStoredForm(std::string_view stored) {
    std::string text;
    text.reserve(stored.size());
    StoredFormReader reader([&text](std::string_view piece) { text.append(piece); });
    reader.Feed(stored);
    reader.Finish();
    return text;
}

void StoredFormAppender::Append(std::string_view piece) {
    size_t start = 0;
    for (size_t i = 0; i < piece.size(); ++i) {
        const bool afterCr = i == 0 ? m_afterCr : piece[i - 1] == '\r';
        if (piece[i] == '\n' && !afterCr) {
            m_out.append(piece.substr(start, i - start));
            m_out.push_back('\r');
            start = i;
        }
    }
    m_out.append(piece.substr(start));
    if (!piece.empty())
        m_afterCr = piece.back() == '\r';
}

void StoredFormReader::Feed(std::string_view piece) {
    if (piece.empty())
        return;
    if (m_pendingCr && piece.front() != '\n')
        m_sink("\r");
    m_pendingCr = false;
    size_t start = 0;
    for (size_t cr = piece.find('\r'); cr != std::string_view::npos;
         cr = piece.find('\r', cr + 1)) {
        if (cr + 1 == piece.size()) {
            m_pendingCr = true;
        } else if (piece[cr + 1] != '\n') {
            continue;
        }
        // The CR is left out: an LF follows it, or may in the next piece.
        if (cr > start)
            m_sink(piece.substr(start, cr - start));
        start = cr + 1;
    }
    if (start < piece.size())
        m_sink(piece.substr(start));
}

void StoredFormReader::Finish() {
    if (m_pendingCr)
        m_sink("\r");
    m_pendingCr = false;
}

bool IsStorableMessage(std::string_view text) {
    return text.find('\0') == std::string_view::npos;
}

bool IsValidUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<uint8_t>(text[i]);
        size_t length = 0;
        char32_t code = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            code = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            code = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            code = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size())
            return false;
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<uint8_t>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = code << 6 | (next & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        constexpr char32_t kLeast[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kLeast[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

std::string ShowableText(std::string_view text) {
    return IsValidUtf8(text) ? std::string(text) : Windows1252AsUtf8(text);
}

std::string Windows1252AsUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (char c : text) {
        const auto byte = static_cast<uint8_t>(c);
        if (byte >= 0x80 && byte < 0xA0)
            AppendUtf8(out, kCp1252High[byte - 0x80]);
        else
            AppendUtf8(out, byte);
    }
    return out;
}

} // namespace lumora
