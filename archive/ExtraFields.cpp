// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/ExtraFields.h"

#include "platform/ByteOrder.h"

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
        const unsigned id = LoadLe16(&extra[at]);
        const size_t size = LoadLe16(&extra[at + 2]);
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
    std::vector<uint8_t> block(9);
    StoreLittleEndian<uint16_t>(&block[0], kExtendedTimestampId);
    StoreLittleEndian<uint16_t>(&block[2], 5);
    block[4] = kHasModifiedTime;
    StoreLittleEndian<uint32_t>(&block[5], static_cast<uint32_t>(modifiedTime));
    return block;
}

std::optional<int64_t> ModifiedTimeIn(std::span<const uint8_t> extra) {
    std::optional<int64_t> found;
    ForEachBlock(extra, [&](unsigned id, std::span<const uint8_t> block) {
        // The flags say which times follow; the modification time comes first.
        if (id != kExtendedTimestampId || block.size() < 9 || (block[4] & kHasModifiedTime) == 0)
            return true;
        found = static_cast<int64_t>(LoadLe32(&block[5]));
        return false;
    });
    return found;
}

} // namespace lumora
