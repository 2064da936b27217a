// SPDX-License-Identifier: GPL-2.0-or-later
#include "picture/PictureKind.h"

#include "platform/ByteOrder.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace lumora {
namespace {

using namespace std::string_view_literals;
using Bytes = std::span<const uint8_t>;

bool StartsWith(Bytes bytes, std::string_view prefix, size_t at = 0) {
    return bytes.size() >= at + prefix.size() &&
           std::memcmp(bytes.data() + at, prefix.data(), prefix.size()) == 0;
}

bool IsBmp(Bytes b) {
    if (!StartsWith(b, "BM") || b.size() < 18)
        return false;
    // The sizes of the header kinds that exist: core, info, its two Adobe variants, OS/2
    // 2.x, version 4 and version 5.
    constexpr std::array<uint32_t, 7> kHeaderSizes = {12, 40, 52, 56, 64, 108, 124};
    return std::ranges::find(kHeaderSizes, LoadLe32(&b[14])) != kHeaderSizes.end();
}

// Reserved 0, type 1 (icon), at least one image, and a first directory entry that holds
// together (reserved byte 0, the image after the directory).
bool IsIco(Bytes b) {
    if (b.size() < 22 || LoadLe16(&b[0]) != 0 || LoadLe16(&b[2]) != 1 || LoadLe16(&b[4]) == 0)
        return false;
    const uint32_t directoryEnd = 6 + 16 * uint32_t{LoadLe16(&b[4])};
    return b[9] == 0 && LoadLe32(&b[14]) > 0 && LoadLe32(&b[18]) >= directoryEnd;
}

// The placeable header's key, or a plain header: type 1 (memory) or 2 (disk), a header of
// nine 16-bit words, version 1 or 3.
bool IsWmf(Bytes b) {
    if (b.size() >= 4 && LoadLe32(&b[0]) == 0x9AC6CDD7)
        return true;
    return b.size() >= 6 && (LoadLe16(&b[0]) == 1 || LoadLe16(&b[0]) == 2) &&
           LoadLe16(&b[2]) == 9 && (LoadLe16(&b[4]) == 0x0100 || LoadLe16(&b[4]) == 0x0300);
}

// The header record (type 1) with the signature " EMF".
bool IsEmf(Bytes b) {
    return b.size() >= 44 && LoadLe32(&b[0]) == 1 && StartsWith(b, " EMF", 40);
}

bool IsZip(Bytes b) {
    return StartsWith(b, "PK\x03\x04") || StartsWith(b, "PK\x05\x06") ||
           StartsWith(b, "PK\x07\x08");
}

// UTF-8 without NUL or control characters other than tab, line breaks and form feed. A
// sequence cut by the end of `b` counts as text when `cut` says the file goes on.
bool IsText(Bytes b, bool cut) {
    size_t i = 0;
    while (i < b.size()) {
        const uint8_t c = b[i];
        if (c < 0x80) {
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f')
                return false;
            if (c == 0x7F)
                return false;
            ++i;
            continue;
        }
        size_t length = 0;
        if (c >= 0xC2 && c <= 0xDF)
            length = 2;
        else if (c >= 0xE0 && c <= 0xEF)
            length = 3;
        else if (c >= 0xF0 && c <= 0xF4)
            length = 4;
        else
            return false;
        for (size_t k = 1; k < length; ++k) {
            if (i + k >= b.size())
                return cut;
            if ((b[i + k] & 0xC0) != 0x80)
                return false;
        }
        i += length;
    }
    return true;
}

// Past `closing` from `at`, or npos when the head ends first.
size_t After(std::string_view text, size_t at, std::string_view closing) {
    const size_t found = text.find(closing, at);
    return found == std::string_view::npos ? found : found + closing.size();
}

// XML whose root element is <svg> (or <svg:svg>): the declaration, comments, processing
// instructions and a document type may come first.
bool IsSvg(Bytes b) {
    std::string_view text(reinterpret_cast<const char*>(b.data()), b.size());
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    size_t at = 0;
    while (at < text.size()) {
        at = text.find_first_not_of(" \t\r\n", at);
        if (at == std::string_view::npos)
            return false;
        const std::string_view rest = text.substr(at);
        if (rest.starts_with("<?")) {
            at = After(text, at, "?>");
        } else if (rest.starts_with("<!--")) {
            at = After(text, at, "-->");
        } else if (rest.starts_with("<!DOCTYPE")) {
            const size_t close = text.find('>', at);
            const size_t subset = text.find('[', at);
            at = subset < close ? After(text, subset, "]>") : After(text, at, ">");
        } else {
            for (const std::string_view root : {"<svg", "<svg:svg"}) {
                if (rest.starts_with(root) && rest.size() > root.size() &&
                    std::string_view(" \t\r\n>/").find(rest[root.size()]) != std::string_view::npos)
                    return true;
            }
            return false;
        }
    }
    return false;
}

} // namespace

bool IsPicture(PictureKind kind) {
    return kind <= PictureKind::Emf;
}

std::string_view KindName(PictureKind kind) {
    switch (kind) {
    case PictureKind::Jpeg:
        return "jpeg";
    case PictureKind::Png:
        return "png";
    case PictureKind::Gif:
        return "gif";
    case PictureKind::Bmp:
        return "bmp";
    case PictureKind::WebP:
        return "webp";
    case PictureKind::Tiff:
        return "tiff";
    case PictureKind::Ico:
        return "ico";
    case PictureKind::Wmf:
        return "wmf";
    case PictureKind::Emf:
        return "emf";
    case PictureKind::Zip:
        return "zip";
    case PictureKind::Gzip:
        return "gzip";
    case PictureKind::Pdf:
        return "pdf";
    case PictureKind::Elf:
        return "elf";
    case PictureKind::Svg:
        return "svg";
    case PictureKind::Text:
        return "text";
    case PictureKind::Empty:
        return "empty";
    case PictureKind::Unknown:
        break;
    }
    return "unknown";
}

PictureKind KindOfHead(std::span<const uint8_t> head, uint64_t wholeSize) {
    if (wholeSize == 0)
        return PictureKind::Empty;
    const Bytes b = head.first(std::min(head.size(), kKindHeadBytes));
    if (StartsWith(b, "\xFF\xD8\xFF"))
        return PictureKind::Jpeg;
    if (StartsWith(b, "\x89PNG\r\n\x1A\n"))
        return PictureKind::Png;
    if (StartsWith(b, "GIF87a") || StartsWith(b, "GIF89a"))
        return PictureKind::Gif;
    if (IsBmp(b))
        return PictureKind::Bmp;
    if (StartsWith(b, "RIFF") && StartsWith(b, "WEBP", 8))
        return PictureKind::WebP;
    if (StartsWith(b, "II*\0"sv) || StartsWith(b, "MM\0*"sv) || StartsWith(b, "II+\0"sv) ||
        StartsWith(b, "MM\0+"sv))
        return PictureKind::Tiff;
    if (IsIco(b))
        return PictureKind::Ico;
    if (IsEmf(b))
        return PictureKind::Emf;
    if (IsWmf(b))
        return PictureKind::Wmf;
    if (IsZip(b))
        return PictureKind::Zip;
    if (StartsWith(b, "\x1F\x8B\x08"))
        return PictureKind::Gzip;
    if (StartsWith(b, "%PDF-"))
        return PictureKind::Pdf;
    if (StartsWith(b, "\x7F"
                      "ELF"))
        return PictureKind::Elf;
    if (!IsText(b, b.size() < wholeSize))
        return PictureKind::Unknown;
    return IsSvg(b) ? PictureKind::Svg : PictureKind::Text;
}

PictureKind KindOf(const ByteSource& source) {
    const std::vector<uint8_t> head = source.HeadAt(0, kKindHeadBytes);
    if (head.empty() && source.Size() > 0)
        return PictureKind::Unknown;
    return KindOfHead(head, source.Size());
}

} // namespace lumora
