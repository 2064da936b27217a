// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <minizip/unzip.h>
#include <string>
#include <vector>

namespace lumora {

// The central directory record of the current entry, with name, comment and extra field
// at full length.
struct EntryRecord {
    unz_file_info64 info{};
    std::string storedName; // exactly as stored
    std::string name;       // with "/" for every "\"
    std::string comment;
    std::vector<uint8_t> extra;
};

[[nodiscard]] bool ReadEntryRecord(unzFile unz, EntryRecord& record);

} // namespace lumora
