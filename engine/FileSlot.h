// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace lumora {

enum FileSlotState : int32_t {
    SLOT_STORED = 1,  // an entry of the payload archive read from the carrier
    SLOT_ADDED = 2,   // a file on disk, named by its full path, to add on the next save
    SLOT_FREE = 4,    // empty
    SLOT_DROPPED = 8, // left out of the next save; the slot stays occupied
};

constexpr int kSlotCount = 100;

struct FileSlot {
    int32_t entryIndex = -1; // position of the entry in the payload archive, or -1
    int32_t state = SLOT_FREE;
    std::string name;      // stored: entry name ("/" separators); added: full path on disk
    int64_t size = 0;      // uncompressed size (stored) or size on disk (added)
    std::string entryName; // added: the name it is stored under; empty: its file name
};

// A file on disk to hide, and the entry name it is stored under (empty: its file name).
struct AddedFile {
    AddedFile(std::string filePath, std::string name = {})
        : path(std::move(filePath)), entryName(std::move(name)) {}
    std::string path;
    std::string entryName;
};

} // namespace lumora
