// SPDX-License-Identifier: GPL-2.0-or-later
#include "workflow/WovenRoom.h"

#include "engine/WovenCarrier.h"
#include "engine/WovenStatus.h"
#include "platform/ReadOnlyFile.h"

#include <cerrno>
#include <new>

namespace lumora {
namespace {

// A local header (30 bytes), a central one (46), a data descriptor (24 with 64-bit sizes),
// the cipher's header (12) and the extra fields of both headers (time stamps, 64-bit
// sizes), rounded up.
constexpr uint64_t kEntryOverhead = 256;
// The end of the central directory (22 bytes) with its 64-bit record (56) and locator (20).
constexpr uint64_t kArchiveOverhead = 128;
// The name of the message's entry is short; this covers it.
constexpr uint64_t kMessageNameBytes = 64;

// Deflate at worst stores its input, 5 bytes for each block of up to 64 KiB; zlib's own
// bound is used with room to spare.
uint64_t StoredBound(uint64_t size) {
    return size + size / 4096 + size / 16384 + 64;
}

uint64_t EntryBound(uint64_t nameBytes, uint64_t size) {
    // The name is written in both headers.
    return kEntryOverhead + 2 * nameBytes + StoredBound(size);
}

} // namespace

WovenRoom MeasureWovenRoom(const std::string& path, const std::string& shownName) {
    WovenRoom room;
    try {
        const ReadOnlyFile file(path);
        if (file.Fd() < 0) {
            room.status = Status::Fail(Reason::ReadFailed, shownName, errno);
            return room;
        }
        const WovenCapacityResult measured = WovenCapacity(DescriptorSource(file.Fd()));
        room.status = CapacityStatus(measured, shownName);
        room.capacity = measured.size.capacityBytes;
        room.limit = measured.size.limitBytes;
    } catch (const std::bad_alloc&) {
        room.status = Status::Fail(Reason::NoMemory);
    }
    return room;
}

uint64_t ContentBound(uint64_t messageBytes, const std::vector<ContentPart>& files) {
    uint64_t bound = kArchiveOverhead;
    if (messageBytes > 0)
        bound += EntryBound(kMessageNameBytes, messageBytes);
    for (const ContentPart& file : files)
        bound += EntryBound(file.name.size(), file.size);
    return bound;
}

} // namespace lumora
