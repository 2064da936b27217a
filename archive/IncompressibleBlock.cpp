// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/IncompressibleBlock.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

namespace lumora {
namespace {

// zlib at memory level 8 chooses a code for every 16K symbols, so the evenness of the
// bytes is judged piece by piece: a block whose halves use different bytes compresses.
constexpr size_t kPiece = 16 * 1024;
// Below 7.975 bits a byte zlib starts to find a code that beats storing; random bytes
// measure about 7.989 over a piece.
constexpr double kEvenBits = 7.98;
// Deflate's shortest match is three bytes, but one that short only pays close by; four
// equal bytes anywhere in the window are taken as a possible match.
constexpr size_t kMatchesAllowedPer = 1024;
constexpr int kTableBits = 16;

bool PieceIsEven(const uint8_t* data, size_t length) {
    // Four tables, so that runs of one byte do not wait on their own counts.
    std::array<std::array<uint32_t, 256>, 4> counts{};
    size_t i = 0;
    for (; i + 4 <= length; i += 4) {
        ++counts[0][data[i]];
        ++counts[1][data[i + 1]];
        ++counts[2][data[i + 2]];
        ++counts[3][data[i + 3]];
    }
    for (; i < length; ++i)
        ++counts[0][data[i]];
    // Entropy = log2(n) - sum(c log2 c) / n.
    double sum = 0;
    for (int b = 0; b < 256; ++b) {
        const double c = counts[0][b] + counts[1][b] + counts[2][b] + counts[3][b];
        if (c > 0)
            sum += c * std::log2(c);
    }
    const double n = static_cast<double>(length);
    return std::log2(n) - sum / n >= kEvenBits;
}

bool BytesAreEven(const uint8_t* input, size_t length) {
    const size_t pieces = length / kPiece;
    for (size_t p = 0; p < pieces; ++p) {
        // The last piece takes what is left over, so no piece is too short to judge.
        const size_t size = p + 1 == pieces ? length - p * kPiece : kPiece;
        if (!PieceIsEven(input + p * kPiece, size))
            return false;
    }
    return true;
}

// Remembers the four-byte groups seen, by hash; an entry holds the group with the number
// of the call that stored it, so no clearing is needed between blocks.
class GroupTable {
public:
    void Begin() {
        if (++m_call == 0) {
            m_slots.fill(0);
            m_call = 1;
        }
    }
    // True when group was stored before in this call.
    bool SeenElseStore(uint32_t group) {
        uint64_t& slot = m_slots[(group * 2654435761u) >> (32 - kTableBits)];
        const uint64_t entry = (static_cast<uint64_t>(m_call) << 32) | group;
        const bool seen = slot == entry;
        slot = entry;
        return seen;
    }

private:
    std::array<uint64_t, size_t{1} << kTableBits> m_slots{};
    uint32_t m_call = 0;
};

bool RepeatsRarely(const uint8_t* dictionary, size_t dictionaryLength, const uint8_t* input,
                   size_t length) {
    thread_local std::unique_ptr<GroupTable> table;
    if (!table)
        table = std::make_unique<GroupTable>();
    table->Begin();
    uint32_t group = 0;
    size_t seen = 0;
    for (size_t i = 0; i < dictionaryLength; ++i) {
        group = (group << 8) | dictionary[i];
        if (i >= 3)
            table->SeenElseStore(group);
    }
    const size_t allowed = length / kMatchesAllowedPer;
    for (size_t i = 0; i < length; ++i) {
        group = (group << 8) | input[i];
        if (dictionaryLength + i >= 3 && table->SeenElseStore(group) && ++seen > allowed)
            return false;
    }
    return true;
}

} // namespace

bool IsIncompressible(const uint8_t* dictionary, size_t dictionaryLength, const uint8_t* input,
                      size_t length) {
    return length >= kPiece && BytesAreEven(input, length) &&
           RepeatsRarely(dictionary, dictionaryLength, input, length);
}

size_t WriteStoredBlocks(const uint8_t* input, size_t length, bool last, uint8_t* out) {
    uint8_t* start = out;
    size_t done = 0;
    do {
        const size_t n = std::min<size_t>(length - done, 0xffff);
        const bool final = last && done + n == length;
        // Header bits BFINAL and BTYPE 00, then the padding to the byte boundary.
        *out++ = final ? 1 : 0;
        *out++ = static_cast<uint8_t>(n);
        *out++ = static_cast<uint8_t>(n >> 8);
        *out++ = static_cast<uint8_t>(~n);
        *out++ = static_cast<uint8_t>(~n >> 8);
        out = std::copy_n(input + done, n, out);
        done += n;
    } while (done < length);
    return static_cast<size_t>(out - start);
}

} // namespace lumora
