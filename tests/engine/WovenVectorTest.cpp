// SPDX-License-Identifier: GPL-2.0-or-later
// The reading vector of docs/FORMAT.md: a woven JPEG kept in the tests, read with its
// password, gives the stated picture counts, keys, header and archive.
#include "engine/WovenCarrier.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace lumora {
namespace {

using Bytes = std::vector<uint8_t>;

std::string DataFile(const std::string& name) {
    return std::string(LUMORA_TEST_DATA_DIR) + "/" + name;
}

std::string Hex(const uint8_t* data, size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (size_t i = 0; i < size; ++i)
        hex += {kDigits[data[i] >> 4], kDigits[data[i] & 15]};
    return hex;
}

TEST(WovenVector, OpensToTheStatedKeysHeaderAndArchive) {
    UseWovenTestFormat(true);
    const Bytes picture = test::ReadFile(DataFile("weave/woven-vector.jpg"));
    const WovenCapacityResult capacity = WovenCapacity(MemorySource(picture));
    EXPECT_EQ(capacity.size.elements, 28980u);
    EXPECT_EQ(capacity.size.limitBytes, 1814u);

    const UnweaveResult read = Unweave(
        MemorySource(picture), Password("woven vector: every byte of this pässphrase counts"));
    UseWovenTestFormat(false);
    ASSERT_EQ(read.outcome, WovenOutcome::Ok);
    EXPECT_EQ(Hex(read.keys.Salt().data(), read.keys.Salt().size()),
              "000102030405060708090a0b0c0d0e0f");
    EXPECT_EQ(Hex(read.keys.PositionKey(), 32),
              "d5ca024ac71d28ee625546007acdf57afca9dd81d19484386a8aa4e08f30dbce");
    EXPECT_EQ(Hex(read.keys.BodyKey(), 32),
              "025f3b25c1ff462200ced09bb894ec91854fa7a0dbc770a97a70b58149076f8a");
    EXPECT_EQ(read.header.formatId, kWovenFormatTest);
    EXPECT_EQ(read.header.archiveLength, 147u);
    EXPECT_EQ(Bytes(read.archive.Data(), read.archive.Data() + read.archive.Size()),
              test::ReadFile(DataFile("crypt/sealed-vector.zip")));
}

} // namespace
} // namespace lumora
