// SPDX-License-Identifier: GPL-2.0-or-later
// The 100 file slots of an engine object: the hidden files of the opened carrier that it
// lists, and the files on disk that the next save adds.
#pragma once

#include "engine/FileSlot.h"

#include <array>
#include <cstdint>
#include <string>

namespace lumora {

class SlotTable {
public:
    SlotTable() = default;

    // Takes the first free slot; returns it, or -1 when none is free. An added file
    // without a size is measured on disk.
    int Add(const std::string& name, FileSlotState state, int entryIndex, int64_t size);
    // Frees the slots in state; -1 frees every slot.
    void Clear(int state);
    // Marks every stored and added file dropped; the slots stay taken.
    void DropAllFiles();
    // false for a slot number out of range.
    bool SetState(int k, FileSlotState state);
    // The first stored or added slot after k (k = -1: from the start) into out; -1 for none.
    int NextFile(FileSlot& out, int k) const;

    FileSlot& operator[](int k) { return m_slots.at(static_cast<size_t>(k)); }
    const FileSlot& operator[](int k) const { return m_slots.at(static_cast<size_t>(k)); }
    auto begin() { return m_slots.begin(); }
    auto end() { return m_slots.end(); }
    auto begin() const { return m_slots.begin(); }
    auto end() const { return m_slots.end(); }

private:
    std::array<FileSlot, kSlotCount> m_slots;
};

} // namespace lumora
