// SPDX-License-Identifier: GPL-2.0-or-later
// Blocks of a zip entry's extra field (a 2-byte id and a 2-byte size, little-endian,
// before the block's bytes) that the archive layer reads or writes: zip64 sizes, which
// minizip writes anew, and Info-ZIP's extended timestamp (0x5455), where entries of the
// sealed and woven formats keep their file's modification time.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace lumora {

inline constexpr unsigned kZip64ExtraId = 0x0001;
inline constexpr unsigned kExtendedTimestampId = 0x5455;

// The extra field without the blocks of these ids. A block that runs past the end of the
// field ends it: readers could not parse what follows either.
std::vector<uint8_t> WithoutExtraBlocks(std::span<const uint8_t> extra,
                                        std::span<const unsigned> ids);

// An extended-timestamp block holding only the modification time (flags bit 0), in
// seconds since 1970 as an unsigned 32-bit count; empty for a time it cannot hold. The same
// block serves the local header and the central directory.
std::vector<uint8_t> ExtendedTimestampBlock(int64_t modifiedTime);

// The modification time of the first extended-timestamp block that has one; none when
// there is no such block.
std::optional<int64_t> ModifiedTimeIn(std::span<const uint8_t> extra);

} // namespace lumora
