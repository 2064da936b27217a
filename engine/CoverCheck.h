// SPDX-License-Identifier: GPL-2.0-or-later
// Whether a file may be the cover of a new carrier. Only a picture Lumora reads, told by
// its header and never by its name, so that swapped operands cannot put a secret in clear
// at the front of a carrier; and only one with nothing after its own end, so that old
// hidden data (another carrier's) does not ride along inside the new picture.
#pragma once

#include "engine/Outcome.h"
#include "picture/PictureKind.h"

#include <cstdint>
#include <string>

namespace lumora {

// Ok for a picture of a kind Lumora reads with no bytes after its end among the first
// `keptBytes` of the file (what a new carrier keeps of it: the image part of a classic
// carrier, else all), or whose end cannot be told. Otherwise (subject: path): ReadFailed
// (error: errno), EmptyPicture, NotAPicture (count: the PictureKind found, see
// KindOfRefusal) or CoverHoldsData (count: the bytes after the picture's end).
[[nodiscard]] Status CheckNewCover(const std::string& path, uint64_t keptBytes = UINT64_MAX);

// The kind a NotAPicture status names.
PictureKind KindOfRefusal(const Status& status);

// True when the file at path is a picture whose own end is the file's end, so nothing
// follows it that could be hidden data; false also where the end cannot be told or the
// file cannot be read.
bool EndsWithPicture(const std::string& path);

} // namespace lumora
