// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace lumora {

// What the central directory says of one entry. Names use "/" as separator: a "\" in a
// name read from a foreign archive is turned into "/".
struct ZipEntryInfo {
    std::string name;
    std::string comment;
    int versionMadeBy = 0;
    int versionNeeded = 0;
    int flags = 0;
    int method = 0;
    uint32_t dosDateTime = 0; // date in the high 16 bits, time in the low 16 bits
    uint32_t crc32 = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    int internalAttributes = 0;
    uint32_t externalAttributes = 0;
    bool isFolder = false; // the name ends with "/"
};

// Called after each block with the bytes of file data handled so far in the current
// AddFile or extraction; returning false abandons that operation, which then fails.
using ArchiveProgress = std::function<bool(uint64_t bytesDone)>;

} // namespace lumora
