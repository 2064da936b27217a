// SPDX-License-Identifier: GPL-2.0-or-later
// Blocks that deflate cannot shrink. On random-looking bytes (already compressed or
// encrypted files) level 9 spends as long as on text looking for matches, then stores the
// bytes as they are. A block that passes the test below is stored straight away: its
// bytes are spread so evenly that no Huffman code beats eight bits a byte, and it repeats
// no four bytes of itself or of its dictionary often enough for a match to pay, so level 9
// would store it too. Anything that might compress goes to zlib.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumora {

// True when input (after dictionary, up to 32 KiB of the bytes before it) cannot be made
// smaller by deflate. Only blocks of 16 KiB or more can pass.
bool IsIncompressible(const uint8_t* dictionary, size_t dictionaryLength, const uint8_t* input,
                      size_t length);

// Writes input as stored deflate blocks (up to 65,535 bytes each), the last one final when
// last is set, and gives the number of bytes written: length plus five per block. The
// stream must be at a byte boundary, which a sync flush or stored blocks leave it at.
size_t WriteStoredBlocks(const uint8_t* input, size_t length, bool last, uint8_t* out);

} // namespace lumora
