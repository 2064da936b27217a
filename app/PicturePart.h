// SPDX-License-Identifier: GPL-2.0-or-later
// How much of a file is its picture. A preview needs only those bytes; hidden data after
// them can make a carrier far larger than its picture, and the preview helper takes no
// more than it must.
#pragma once

#include <cstdint>

namespace lumora {

// The bytes at the start of the open file `fd` that are its picture: a classic carrier's
// image part as its trailer gives it; else the picture up to where its own structure ends;
// else, when that end cannot be told, the whole file. Reads with pread, so the file's
// offset stays where it was; 0 for a file that cannot be read.
uint64_t PicturePartSize(int fd);

} // namespace lumora
