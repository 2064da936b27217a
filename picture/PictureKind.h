// SPDX-License-Identifier: GPL-2.0-or-later
// What kind of file something is, told by its first bytes and never by its name: the
// kinds of picture Lumora reads, and for other files what they are where that is easy to
// tell, so that a caller can say "secret.zip is a zip archive, not a picture".
#pragma once

#include "picture/ByteSource.h"

#include <cstdint>
#include <string_view>

namespace lumora {

enum class PictureKind : uint8_t {
    // Pictures Lumora reads.
    Jpeg,
    Png,
    Gif,
    Bmp,
    WebP,
    Tiff,
    Ico,
    Wmf, // with or without the placeable header
    Emf,
    // Files that are not such a picture.
    Zip,
    Gzip,
    Pdf,
    Elf,
    Svg, // a drawing in XML text
    Text,
    Empty,
    Unknown,
};

// True for the kinds of picture Lumora reads (Jpeg to Emf).
bool IsPicture(PictureKind kind);

// A fixed lower-case name for scripts and logs ("jpeg", "zip", "text"); not for people.
std::string_view KindName(PictureKind kind);

// How many bytes from the start the kind is told by.
constexpr size_t kKindHeadBytes = 1024;

// The kind of the bytes a source starts with. A failed read gives Unknown with errno set.
PictureKind KindOf(const ByteSource& source);

// The same for the first bytes of a file (up to kKindHeadBytes of them are looked at);
// `wholeSize` is the file's size, which tells an empty file from a failed read.
PictureKind KindOfHead(std::span<const uint8_t> head, uint64_t wholeSize);

} // namespace lumora
