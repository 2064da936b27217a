// SPDX-License-Identifier: GPL-2.0-or-later
// Byte-level surgery on small zip archives (no archive comment, no zip64 records), read
// independently of the archive layer: where entries lie, and archives rebuilt with other
// directory records or end records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lumora::test {

using Bytes = std::vector<uint8_t>;

uint32_t Get16(const Bytes& bytes, size_t at);
uint32_t Get32(const Bytes& bytes, size_t at);
void Put16(Bytes& bytes, size_t at, uint32_t value);
void Put32(Bytes& bytes, size_t at, uint32_t value);

struct RawEntry {
    size_t central = 0;     // its central directory record
    size_t centralSize = 0; // length of that record
    size_t local = 0;       // its local header
    size_t data = 0;        // its stored data
    size_t compressedSize = 0;
};

std::vector<RawEntry> RawEntries(const Bytes& zip);
// The stored bytes of an entry, encryption header included.
Bytes StoredData(const Bytes& zip, const RawEntry& entry);
// Patches a 32-bit field of an entry's local header and central record alike
// (fields at local offset 14 CRC, 18 compressed and 22 uncompressed size; the central
// record has them 2 bytes further on). Also works for the 16-bit method field at 8.
void PatchBoth32(Bytes& zip, const RawEntry& entry, size_t localOffset, uint32_t value);
void PatchBoth16(Bytes& zip, const RawEntry& entry, size_t localOffset, uint32_t value);
// The archive up to its central directory, followed by the given records and a plain end
// record that counts them.
Bytes WithDirectory(const Bytes& zip, const Bytes& records, uint32_t count);
// The archive with zip64 end records that claim count entries.
Bytes WithZip64Count(const Bytes& zip, uint64_t count);

// One wrong password in 256 passes an entry's check byte. The first of "wrong0",
// "wrong1", ... whose check byte passes in exactly the entries marked (as the CRC's or the
// DOS time's high byte), so tests do not depend on the random bytes of the headers.
std::string PasswordPassing(const Bytes& zip, const std::vector<bool>& passes);

} // namespace lumora::test
