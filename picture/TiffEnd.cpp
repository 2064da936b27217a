// SPDX-License-Identifier: GPL-2.0-or-later
// The end of a TIFF picture: the furthest byte that any image file directory, tag value,
// strip, tile or embedded JPEG thumbnail reaches, following every directory the file
// points at (the chain, sub-directories, EXIF, GPS and interoperability directories).
#include "picture/KindEnds.h"

#include "platform/ByteOrder.h"

#include <algorithm>
#include <array>
#include <vector>

namespace lumora {
namespace {

// Bounds that no real picture comes near; past them the file is taken as a lie.
constexpr size_t kMostDirectories = 1024;
constexpr uint64_t kMostArrayValues = uint64_t{1} << 24;
constexpr size_t kValuesPerRead = 4096;

constexpr uint16_t kStripOffsets = 273, kStripByteCounts = 279;
constexpr uint16_t kTileOffsets = 324, kTileByteCounts = 325;
constexpr uint16_t kSubDirectories = 330;
constexpr uint16_t kJpegOffset = 513, kJpegLength = 514;
constexpr uint16_t kExifDirectory = 34665, kGpsDirectory = 34853, kInteropDirectory = 40965;

struct Entry {
    uint16_t tag = 0;
    uint16_t type = 0;
    uint32_t count = 0;
    std::array<uint8_t, 4> field{};
};

// Bytes of one value of a field type; 0 for a type this walk does not know.
uint64_t TypeBytes(uint16_t type) {
    static constexpr std::array<uint8_t, 14> kBytes = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
    return type < kBytes.size() ? kBytes[type] : 0;
}

class TiffWalk {
public:
    TiffWalk(const ByteSource& source, bool little) : m_source(source), m_little(little) {}

    PictureEnd Run(uint32_t first) {
        m_pending.push_back(first);
        while (!m_pending.empty()) {
            const uint32_t offset = m_pending.back();
            m_pending.pop_back();
            if (offset == 0)
                continue;
            if (offset < 8 || std::ranges::find(m_seen, offset) != m_seen.end() ||
                m_seen.size() == kMostDirectories)
                return PictureEnd::With(EndStatus::Malformed);
            m_seen.push_back(offset);
            if (const std::optional<PictureEnd> stop = Directory(offset))
                return *stop;
        }
        return PictureEnd::At(m_furthest);
    }

private:
    uint16_t U16(const uint8_t* p) const { return m_little ? LoadLe16(p) : LoadBe16(p); }
    uint32_t U32(const uint8_t* p) const { return m_little ? LoadLe32(p) : LoadBe32(p); }
    uint64_t Value(const uint8_t* p, uint64_t bytes) const {
        return bytes == 1 ? p[0] : bytes == 2 ? U16(p) : U32(p);
    }

    // Reaches `end`: Truncated when it lies past the source.
    bool Reach(uint64_t end) {
        if (end > m_source.Size())
            return false;
        m_furthest = std::max(m_furthest, end);
        return true;
    }

    // Values [first, first + out.size()) of an entry of 1-, 2- or 4-byte integers.
    bool Values(const Entry& entry, uint64_t first, std::vector<uint64_t>& out) const {
        const uint64_t bytes = TypeBytes(entry.type);
        std::vector<uint8_t> raw(static_cast<size_t>(out.size() * bytes));
        if (bytes * entry.count <= 4) {
            std::copy_n(entry.field.begin() + static_cast<ptrdiff_t>(first * bytes), raw.size(),
                        raw.begin());
        } else if (!m_source.ReadAt(U32(entry.field.data()) + first * bytes, raw.data(),
                                    raw.size())) {
            return false;
        }
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = Value(raw.data() + i * bytes, bytes);
        return true;
    }

    bool IsInteger(const Entry& entry) const {
        const uint64_t bytes = TypeBytes(entry.type);
        return entry.type != 2 && (bytes == 1 || bytes == 2 || (bytes == 4 && entry.type != 11));
    }

    // The furthest end of the pieces that offsets and byte counts describe.
    std::optional<PictureEnd> Pieces(const Entry* offsets, const Entry* counts) {
        if (offsets == nullptr && counts == nullptr)
            return std::nullopt;
        if (offsets == nullptr || counts == nullptr)
            return PictureEnd::With(EndStatus::Unknown);
        if (offsets->count != counts->count || !IsInteger(*offsets) || !IsInteger(*counts))
            return PictureEnd::With(EndStatus::Malformed);
        m_valuesRead += offsets->count;
        if (m_valuesRead > kMostArrayValues)
            return PictureEnd::With(EndStatus::Malformed);
        std::vector<uint64_t> starts, lengths;
        for (uint64_t first = 0; first < offsets->count; first += kValuesPerRead) {
            const size_t n =
                static_cast<size_t>(std::min<uint64_t>(kValuesPerRead, offsets->count - first));
            starts.resize(n);
            lengths.resize(n);
            if (!Values(*offsets, first, starts) || !Values(*counts, first, lengths))
                return PictureEnd::FromShortRead();
            for (size_t i = 0; i < n; ++i) {
                if (lengths[i] > 0 && !Reach(starts[i] + lengths[i]))
                    return PictureEnd::With(EndStatus::Truncated);
            }
        }
        return std::nullopt;
    }

    // Queues the directories an entry points at.
    std::optional<PictureEnd> Follow(const Entry& entry) {
        if (!IsInteger(entry) && entry.type != 13)
            return PictureEnd::With(EndStatus::Malformed);
        if (entry.count > kMostDirectories)
            return PictureEnd::With(EndStatus::Malformed);
        std::vector<uint64_t> offsets(entry.count);
        Entry asLongs = entry;
        asLongs.type = entry.type == 13 ? 4 : entry.type;
        if (!Values(asLongs, 0, offsets))
            return PictureEnd::FromShortRead();
        for (const uint64_t offset : offsets)
            m_pending.push_back(static_cast<uint32_t>(offset));
        return std::nullopt;
    }

    std::optional<PictureEnd> Directory(uint32_t offset) {
        const std::optional<uint16_t> count =
            m_little ? m_source.Le16At(offset) : m_source.Be16At(offset);
        if (!count)
            return PictureEnd::FromShortRead();
        std::vector<uint8_t> block(12 * size_t{*count} + 4);
        if (!m_source.ReadAt(uint64_t{offset} + 2, block.data(), block.size()))
            return PictureEnd::FromShortRead();
        Reach(uint64_t{offset} + 2 + block.size());
        std::vector<Entry> entries(*count);
        const Entry* found[6] = {};
        constexpr uint16_t kPieceTags[6] = {kStripOffsets,   kStripByteCounts, kTileOffsets,
                                            kTileByteCounts, kJpegOffset,      kJpegLength};
        for (size_t i = 0; i < entries.size(); ++i) {
            const uint8_t* p = block.data() + 12 * i;
            Entry& entry = entries[i];
            entry = Entry{U16(p), U16(p + 2), U32(p + 4), {p[8], p[9], p[10], p[11]}};
            const uint64_t bytes = TypeBytes(entry.type) * entry.count;
            if (bytes > 4 && !Reach(uint64_t{U32(entry.field.data())} + bytes))
                return PictureEnd::With(EndStatus::Truncated);
            for (size_t k = 0; k < 6; ++k)
                if (entry.tag == kPieceTags[k] && TypeBytes(entry.type) != 0)
                    found[k] = &entry;
            if (entry.tag == kSubDirectories || entry.tag == kExifDirectory ||
                entry.tag == kGpsDirectory || entry.tag == kInteropDirectory) {
                if (const std::optional<PictureEnd> stop = Follow(entry))
                    return stop;
            }
        }
        for (size_t k = 0; k < 6; k += 2) {
            if (const std::optional<PictureEnd> stop =
                    k < 4 ? Pieces(found[k], found[k + 1]) : Thumbnail(found[k], found[k + 1]))
                return stop;
        }
        m_pending.push_back(U32(block.data() + 12 * size_t{*count}));
        return std::nullopt;
    }

    // The embedded JPEG thumbnail of old-style JPEG-in-TIFF and EXIF: one offset, one length.
    std::optional<PictureEnd> Thumbnail(const Entry* offset, const Entry* length) {
        if (offset == nullptr || length == nullptr)
            return std::nullopt;
        if (offset->count != 1 || length->count != 1)
            return PictureEnd::With(EndStatus::Malformed);
        return Pieces(offset, length);
    }

    const ByteSource& m_source;
    const bool m_little;
    uint64_t m_furthest = 8;
    uint64_t m_valuesRead = 0;
    std::vector<uint32_t> m_pending;
    std::vector<uint32_t> m_seen;
};

} // namespace

PictureEnd TiffEnd(const ByteSource& source) {
    const std::optional<uint16_t> order = source.Be16At(0);
    if (!order)
        return PictureEnd::FromShortRead();
    const bool little = *order == 0x4949; // "II"
    if (!little && *order != 0x4D4D)      // "MM"
        return PictureEnd::With(EndStatus::Malformed);
    const auto magic = little ? source.Le16At(2) : source.Be16At(2);
    const auto first = little ? source.Le32At(4) : source.Be32At(4);
    if (!magic || !first)
        return PictureEnd::FromShortRead();
    constexpr uint16_t kClassic = 42, kBig = 43;
    if (*magic == kBig)
        return PictureEnd::With(EndStatus::Unknown);
    if (*magic != kClassic || *first == 0)
        return PictureEnd::With(EndStatus::Malformed);
    return TiffWalk(source, little).Run(*first);
}

} // namespace lumora
