// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/ByteOrder.h"

#include <gtest/gtest.h>
#include <vector>

namespace lumora {
namespace {

struct ByteOrderCase {
    const char* what;           // the case's name
    std::vector<uint8_t> bytes; // 2, 4 or 8 of them
    uint64_t little;
    uint64_t big;
};

uint64_t Load(const std::vector<uint8_t>& bytes, bool little) {
    switch (bytes.size()) {
    case 2:
        return little ? LoadLe16(bytes.data()) : LoadBe16(bytes.data());
    case 4:
        return little ? LoadLe32(bytes.data()) : LoadBe32(bytes.data());
    default:
        return little ? LoadLe64(bytes.data()) : LoadBigEndian<uint64_t>(bytes.data());
    }
}

std::vector<uint8_t> Store(size_t width, uint64_t value, bool little) {
    std::vector<uint8_t> bytes(width, 0xAA);
    if (width == 2)
        little ? StoreLittleEndian(bytes.data(), static_cast<uint16_t>(value))
               : StoreBigEndian(bytes.data(), static_cast<uint16_t>(value));
    else if (width == 4)
        little ? StoreLittleEndian(bytes.data(), static_cast<uint32_t>(value))
               : StoreBigEndian(bytes.data(), static_cast<uint32_t>(value));
    else
        little ? StoreLittleEndian(bytes.data(), value) : StoreBigEndian(bytes.data(), value);
    return bytes;
}

class ByteOrder : public ::testing::TestWithParam<ByteOrderCase> {};

TEST_P(ByteOrder, ReadsAndWritesEachOrder) {
    const ByteOrderCase& c = GetParam();
    EXPECT_EQ(c.little, Load(c.bytes, true));
    EXPECT_EQ(c.big, Load(c.bytes, false));
    EXPECT_EQ(c.bytes, Store(c.bytes.size(), c.little, true));
    EXPECT_EQ(c.bytes, Store(c.bytes.size(), c.big, false));
}

// Bytes with the top bit set catch a sign that spreads from a byte into the value.
INSTANTIATE_TEST_SUITE_P(
    Widths, ByteOrder,
    ::testing::Values(
        ByteOrderCase{"Bits16", {0x01, 0x02}, 0x0201, 0x0102},
        ByteOrderCase{"Bits16HighBytes", {0xFF, 0x80}, 0x80FF, 0xFF80},
        ByteOrderCase{"Bits32", {0x01, 0x02, 0x03, 0x04}, 0x04030201, 0x01020304},
        ByteOrderCase{"Bits32HighBytes", {0x80, 0xFF, 0x00, 0x9C}, 0x9C00FF80, 0x80FF009C},
        ByteOrderCase{"Bits64", {1, 2, 3, 4, 5, 6, 7, 8}, 0x0807060504030201, 0x0102030405060708},
        ByteOrderCase{"Bits64HighBytes",
                      {0xF0, 0, 0, 0, 0, 0, 0, 0x8F},
                      0x8F000000000000F0,
                      0xF00000000000008F}),
    [](const auto& test) { return std::string(test.param.what); });

TEST(ByteOrderAppend, AddsAfterWhatIsThere) {
    std::vector<uint8_t> out{0x55};
    AppendLittleEndian<uint32_t>(out, 0x11223344);
    AppendLittleEndian<uint16_t>(out, 0xBEEF);
    EXPECT_EQ((std::vector<uint8_t>{0x55, 0x44, 0x33, 0x22, 0x11, 0xEF, 0xBE}), out);
}

} // namespace
} // namespace lumora
