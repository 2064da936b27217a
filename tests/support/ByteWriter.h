// SPDX-License-Identifier: GPL-2.0-or-later
// Bytes assembled in a test, numbers in little- or big-endian order.
#pragma once

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
    ByteWriter& Le16(unsigned value) { return U8(value & 0xFF).U8(value >> 8 & 0xFF); }
    ByteWriter& Le32(uint32_t value) { return Le16(value & 0xFFFF).Le16(value >> 16); }
    ByteWriter& Be16(unsigned value) { return U8(value >> 8 & 0xFF).U8(value & 0xFF); }
    ByteWriter& Be32(uint32_t value) { return Be16(value >> 16).Be16(value & 0xFFFF); }
    ByteWriter& Fill(size_t count, uint8_t value) {
        bytes.insert(bytes.end(), count, value);
        return *this;
    }
};

} // namespace lumora::test
