// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "archive/EntryCheck.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace lumora {

// What the central directory says of one entry, and where the entry lies in the file.
struct ZipEntryInfo {
    // The name for display and extraction: a "\" in a name from a foreign archive is
    // turned into "/".
    std::string name;
    // The name bytes exactly as the central directory holds them.
    std::string storedName;
    std::string comment;
    int versionMadeBy = 0;
    int versionNeeded = 0;
    int flags = 0;
    int method = 0;
    uint32_t dosDateTime = 0; // date in the high 16 bits, time in the low 16 bits
    // The file's modification time in seconds since 1970: that of an extended-timestamp
    // block where the central directory has one, else the DOS date and time where they
    // name a real date (0 names none).
    std::optional<int64_t> modifiedTime;
    uint32_t crc32 = 0;
    uint32_t compressedSize = 0;   // capped at UINT32_MAX
    uint32_t uncompressedSize = 0; // capped at UINT32_MAX
    int internalAttributes = 0;
    uint32_t externalAttributes = 0;
    bool isFolder = false;       // the name ends with "/"
    bool encrypted = false;      // general-purpose bit 0
    bool dataDescriptor = false; // general-purpose bit 3
    // Ok when the entry's local header was found and its bytes overlap no other entry's;
    // Damaged when not (every read of the entry then gives Damaged); Unsupported for a
    // method or encryption this reader cannot handle.
    EntryCheck layout = EntryCheck::Ok;
    uint64_t localHeaderOffset = 0; // in the file; 0 when the local header was not found
    uint64_t dataOffset = 0; // start of the stored data (encryption header included); 0 likewise
};

// Called after each block with the bytes of file data handled so far in the current
// operation (AddFile, an extraction, a check or a copy; while an archive is opened, the
// central directory bytes read, every 1024 records); returning false abandons that
// operation, which then fails or gives Cancelled.
using ArchiveProgress = std::function<bool(uint64_t bytesDone)>;

} // namespace lumora
