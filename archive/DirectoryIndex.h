// SPDX-License-Identifier: GPL-2.0-or-later
// One pass over an archive's central directory when it is opened: where each record and
// each entry's data lie, so entries are selected in constant time and entries whose data
// overlap are known before anything is read.
#pragma once

#include "archive/EntryCheck.h"
#include "archive/ZipEntryInfo.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <minizip/unzip.h>
#include <vector>

namespace lumora {

// The smallest central directory record: its fixed part with empty name, extra and comment.
inline constexpr uint64_t kMinDirectoryRecordSize = 46;

struct IndexedEntry {
    ZPOS64_T directoryPos = 0;      // unzGetOffset64 of the entry's record
    uint64_t localHeaderOffset = 0; // in the file; 0 when not located
    uint64_t dataOffset = 0;        // start of the stored data in the file; 0 when not located
    uint64_t dataEnd = 0;
    // The local header was read and agrees with the record (minizip checks the method,
    // name length and, without a data descriptor, CRC and sizes).
    bool located = false;
    bool overlaps = false; // its local header or data share bytes with another entry's
};

struct DirectoryIndex {
    std::vector<IndexedEntry> entries;
    // False when the directory claims more records than could be read.
    bool complete = true;
};

// Reads `length` bytes of the archive at `offset`; false when they are not all there.
using ReadBytesAt = std::function<bool(uint64_t offset, uint8_t* out, size_t length)>;

// Reads the records of unz's central directory in order: no more than the directory
// claims, no more than fileSize / 46, and none after the first record that cannot be read.
// An entry is located only when its local header, read through readAt, names it as its
// record does. progress is called every 1024 records with the directory bytes read so
// far; Cancelled when it returns false, otherwise Ok.
EntryCheck BuildDirectoryIndex(unzFile unz, uint64_t fileSize, const ReadBytesAt& readAt,
                               const ArchiveProgress& progress, DirectoryIndex& index);

} // namespace lumora
