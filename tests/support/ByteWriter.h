// SPDX-License-Identifier: GPL-2.0-or-later
// Bytes assembled in a test, numbers in little- or big-endian order.
#pragma once

#include "platform/ByteOrder.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace lumora::test {

struct ByteWriter {
    std::vector<uint8_t> bytes;

    ByteWriter& Text(std::string_view text) {
        bytes.insert(bytes.end(), text.begin(), text.end());
        return *this;
    }
    ByteWriter& U8(unsigned value) {
        bytes.push_back(static_cast<uint8_t>(value));
        return *this;
    }
    // The low 16 bits of `value`.
    ByteWriter& Le16(unsigned value) {
        StoreLittleEndian(Grow(2), static_cast<uint16_t>(value));
        return *this;
    }
    ByteWriter& Le32(uint32_t value) {
        StoreLittleEndian(Grow(4), value);
        return *this;
    }
    ByteWriter& Le64(uint64_t value) {
        StoreLittleEndian(Grow(8), value);
        return *this;
    }
    // The low 16 bits of `value`.
    ByteWriter& Be16(unsigned value) {
        StoreBigEndian(Grow(2), static_cast<uint16_t>(value));
        return *this;
    }
    ByteWriter& Be32(uint32_t value) {
        StoreBigEndian(Grow(4), value);
        return *this;
    }
    ByteWriter& Fill(size_t count, uint8_t value) {
        bytes.insert(bytes.end(), count, value);
        return *this;
    }

private:
    // `count` new bytes at the end.
    uint8_t* Grow(size_t count) {
        bytes.resize(bytes.size() + count);
        return bytes.data() + bytes.size() - count;
    }
};

} // namespace lumora::test
