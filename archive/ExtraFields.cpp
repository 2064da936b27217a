// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/ExtraFields.h"

#include <algorithm>
#include <functional>

namespace lumora {
namespace {

constexpr uint8_t kHasModifiedTime = 0x01;

// Calls visit(id, block bytes) for each whole block of the field, in order, until it
// returns false.
void ForEachBlock(std::span<const uint8_t> extra,
                  const std::function<bool(unsigned, std::span<const uint8_t>)>& visit) {
    size_t at = 0;
    while (at + 4 <= extra.size()) {
        const unsigned id = extra[at] | static_cast<unsigned>(extra[at + 1] << 8);
        const size_t size = extra[at + 2] | static_cast<size_t>(extra[at + 3] << 8);
        if (at + 4 + size > extra.size() || !visit(id, extra.subspan(at, 4 + size)))
            return;
        at += 4 + size;
    }
}

} // namespace

std::vector<uint8_t> WithoutExtraBlocks(std::span<const uint8_t> extra,
                                        std::span<const unsigned> ids) {
    std::vector<uint8_t> kept;
    ForEachBlock(extra, [&](unsigned id, std::span<const uint8_t> block) {
        if (std::find(ids.begin(), ids.end(), id) == ids.end())
            kept.insert(kept.end(), block.begin(), block.end());
        return true;
    });
    return kept;
}

std::vector<uint8_t> ExtendedTimestampBlock(int64_t modifiedTime) {
    if (modifiedTime < 0 || modifiedTime > int64_t{UINT32_MAX})
        return {};
    const auto time = static_cast<uint32_t>(modifiedTime);
    return {static_cast<uint8_t>(kExtendedTimestampId & 0xFF),
            static_cast<uint8_t>(kExtendedTimestampId >> 8),
            5,
            0,
            kHasModifiedTime,
            static_cast<uint8_t>(time),
            static_cast<uint8_t>(time >> 8),
            static_cast<uint8_t>(time >> 16),
            static_cast<uint8_t>(time >> 24)};
}

std::optional<int64_t> ModifiedTimeIn(std::span<const uint8_t> extra) {
    std::optional<int64_t> found;
    ForEachBlock(extra, [&](unsigned id, std::span<const uint8_t> block) {
        // The flags say which times follow; the modification time comes first.
        if (id != kExtendedTimestampId || block.size() < 9 || (block[4] & kHasModifiedTime) == 0)
            return true;
        found = static_cast<int64_t>(block[5] | static_cast<uint32_t>(block[6]) << 8 |
                                     static_cast<uint32_t>(block[7]) << 16 |
                                     static_cast<uint32_t>(block[8]) << 24);
        return false;
    });
    return found;
}

} // namespace lumora
