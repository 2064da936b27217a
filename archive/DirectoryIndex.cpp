// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/DirectoryIndex.h"

#include <algorithm>

namespace lumora {
namespace {

constexpr uint64_t kLocalHeaderSize = 30;
constexpr size_t kProgressEvery = 1024;
// A plain end record with this entry count defers to the records themselves.
constexpr ZPOS64_T kUnknownCount = 0xFFFF;

bool ReportProgress(const ArchiveProgress& progress, uint64_t done) {
    try {
        return !progress || progress(done);
    } catch (...) {
        return false;
    }
}

// Whether the name in the local header at `offset` is `name`, byte for byte; minizip
// compares only the lengths.
bool LocalNameIs(const ReadBytesAt& readAt, uint64_t offset, const std::vector<char>& name) {
    std::vector<char> local(name.size());
    return readAt(offset + kLocalHeaderSize, reinterpret_cast<uint8_t*>(local.data()),
                  local.size()) &&
           local == name;
}

// Opens the current entry in raw mode, which reads its local header, to learn where its
// data lie.
void Locate(unzFile unz, const ReadBytesAt& readAt, IndexedEntry& entry) {
    unz_file_info64 info{};
    int method = 0;
    int level = 0;
    if (unzGetCurrentFileInfo64(unz, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        return;
    std::vector<char> name(info.size_filename);
    if (unzGetCurrentFileInfo64(unz, &info, name.data(), name.size(), nullptr, 0, nullptr, 0) !=
            UNZ_OK ||
        unzOpenCurrentFile3(unz, &method, &level, 1, nullptr) != UNZ_OK)
        return;
    uint64_t dataOffset = unzGetCurrentFileZStreamPos64(unz);
    int localExtra = unzGetLocalExtrafield(unz, nullptr, 0);
    unzCloseCurrentFile(unz);
    uint64_t headerSize = kLocalHeaderSize + info.size_filename + static_cast<uint64_t>(localExtra);
    if (localExtra < 0 || dataOffset < headerSize || info.compressed_size > UINT64_MAX - dataOffset)
        return;
    entry.localHeaderOffset = dataOffset - headerSize;
    // A local name that differs from the record's would be written out under another
    // name than the one listed: damage.
    if (!LocalNameIs(readAt, entry.localHeaderOffset, name))
        return;
    entry.dataOffset = dataOffset;
    entry.dataEnd = dataOffset + info.compressed_size;
    entry.located = true;
}

// Marks every located entry whose bytes, from local header to the end of its data,
// intersect another's. Sorted by start, an entry meets a later one exactly when the next
// one starts before it ends, and an earlier one when the furthest end before it lies past
// its start.
void MarkOverlaps(std::vector<IndexedEntry>& entries) {
    std::vector<size_t> order;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].located)
            order.push_back(i);
    }
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return entries[a].localHeaderOffset < entries[b].localHeaderOffset;
    });
    uint64_t furthestEnd = 0;
    for (size_t n = 0; n < order.size(); ++n) {
        IndexedEntry& entry = entries[order[n]];
        bool meetsEarlier = n > 0 && furthestEnd > entry.localHeaderOffset;
        bool meetsLater =
            n + 1 < order.size() && entries[order[n + 1]].localHeaderOffset < entry.dataEnd;
        entry.overlaps = meetsEarlier || meetsLater;
        furthestEnd = std::max(furthestEnd, entry.dataEnd);
    }
}

} // namespace

EntryCheck BuildDirectoryIndex(unzFile unz, uint64_t fileSize, const ReadBytesAt& readAt,
                               const ArchiveProgress& progress, DirectoryIndex& index) {
    index = {};
    unz_global_info64 global{};
    if (unzGetGlobalInfo64(unz, &global) != UNZ_OK)
        return EntryCheck::Damaged;
    uint64_t limit = fileSize / kMinDirectoryRecordSize;
    uint64_t claimed = global.number_entry;
    if (claimed != kUnknownCount)
        limit = std::min(limit, claimed);
    ZPOS64_T firstPos = 0;
    for (uint64_t k = 0; k < limit; ++k) {
        if ((k == 0 ? unzGoToFirstFile(unz) : unzGoToNextFile(unz)) != UNZ_OK)
            break;
        IndexedEntry entry;
        entry.directoryPos = unzGetOffset64(unz);
        if (k == 0)
            firstPos = entry.directoryPos;
        Locate(unz, readAt, entry);
        index.entries.push_back(entry);
        if ((k + 1) % kProgressEvery == 0 &&
            !ReportProgress(progress, entry.directoryPos - firstPos))
            return EntryCheck::Cancelled;
    }
    index.complete = claimed == kUnknownCount || index.entries.size() == claimed;
    MarkOverlaps(index.entries);
    return EntryCheck::Ok;
}

} // namespace lumora
