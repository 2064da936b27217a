// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/SlotTable.h"

#include <sys/stat.h>

namespace lumora {

int SlotTable::Add(const std::string& name, FileSlotState state, int entryIndex, int64_t size) {
    for (int k = 0; k < kSlotCount; ++k) {
        FileSlot& slot = (*this)[k];
        if (slot.state != SLOT_FREE)
            continue;
        slot.state = state;
        slot.entryIndex = entryIndex;
        slot.size = size;
        struct stat info {};
        if (entryIndex == -1 && size <= 0 && state == SLOT_ADDED && !name.empty() &&
            ::stat(name.c_str(), &info) == 0)
            slot.size = static_cast<int64_t>(info.st_size);
        slot.name = name;
        return k;
    }
    return -1;
}

void SlotTable::Clear(int state) {
    for (FileSlot& slot : m_slots) {
        if (state == -1 || slot.state == state)
            slot = FileSlot{};
    }
}

void SlotTable::DropAllFiles() {
    for (FileSlot& slot : m_slots) {
        if (slot.state == SLOT_STORED || slot.state == SLOT_ADDED)
            slot.state = SLOT_DROPPED;
    }
}

bool SlotTable::SetState(int k, FileSlotState state) {
    if (k < 0 || k >= kSlotCount)
        return false;
    (*this)[k].state = state;
    return true;
}

int SlotTable::NextFile(FileSlot& out, int k) const {
    for (int next = k < -1 ? 0 : k + 1; next < kSlotCount; ++next) {
        const FileSlot& slot = (*this)[next];
        if (slot.state == SLOT_STORED || slot.state == SLOT_ADDED) {
            out = slot;
            return next;
        }
    }
    return -1;
}

} // namespace lumora
