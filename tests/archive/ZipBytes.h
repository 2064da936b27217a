// SPDX-License-Identifier: GPL-2.0-or-later
// Byte-level surgery on small zip archives (no archive comment, no zip64 records), read
// independently of the archive layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lumora::test {

using Bytes = std::vector<uint8_t>;

// Little-endian fields of width 2 or 4 bytes.
uint32_t Get(const Bytes& bytes, size_t at, int width);
void Put(Bytes& bytes, size_t at, uint32_t value, int width);

struct RawEntry {
    size_t central = 0; // its central directory record
    size_t centralSize = 0;
    size_t local = 0; // its local header
    size_t data = 0;  // its stored data, encryption header included
};
std::vector<RawEntry> RawEntries(const Bytes& zip);

// Sets a field of an entry's local header (6 flags, 8 method, 14 CRC, 18 compressed and
// 22 uncompressed size) and the same field of its central record.
void PatchBoth(Bytes& zip, const RawEntry& entry, size_t localOffset, uint32_t value, int width);

// The archive up to its central directory, then records, then an end record that claims
// count entries: a plain one, or zip64 end records behind a plain one that defers to them.
Bytes WithDirectory(const Bytes& zip, const Bytes& records, uint64_t count, bool zip64);

// One wrong password in 256 passes an entry's check byte. The first of "wrong0",
// "wrong1", ... whose check byte passes in exactly the entries marked (as the CRC's high
// byte, or the DOS time's with a data descriptor), so tests do not depend on the random
// bytes of the headers.
std::string PasswordPassing(const Bytes& zip, const std::vector<bool>& passes);

} // namespace lumora::test
