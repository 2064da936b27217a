// SPDX-License-Identifier: GPL-2.0-or-later
#include "crypt/DoubleBuffering.h"
#include "CryptTestUtil.h"
#include "support/TestFiles.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <stdexcept>

using namespace lumora;
using namespace lumora::test;

namespace {

std::string ErrorOfConstruction(std::istream& stream, int size, int dataLen) {
    unsigned char buffer[1024];
    return ErrorOf([&] { CDoubleBuffering reader(stream, buffer, size, dataLen); });
}

std::string AsText(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

} // namespace

TEST(DoubleBuffering, RefusesBadConstructionData) {
    std::istringstream data("some data");
    EXPECT_EQ(ErrorOfConstruction(data, 1023, 384), "m_iSize should be Even Number!");
    EXPECT_EQ(ErrorOfConstruction(data, 1024, 0), "Illegal Construction Data!");
    EXPECT_EQ(ErrorOfConstruction(data, 1024, 513), "Illegal Construction Data!");

    std::ifstream closed;
    EXPECT_EQ(ErrorOfConstruction(closed, 1024, 384),
              "Referenced File not Opened or in Bad State!");
    std::istringstream bad("x");
    bad.setstate(std::ios::badbit);
    EXPECT_EQ(ErrorOfConstruction(bad, 1024, 384), "Referenced File not Opened or in Bad State!");
}

TEST(DoubleBuffering, RefusesIllegalChunkLengths) {
    std::istringstream data("some data");
    unsigned char buffer[1024], dst[1024];
    CDoubleBuffering reader(data, buffer, 1024, 384);
    for (int n : {0, -2, 513})
        EXPECT_EQ(ErrorOf([&] { static_cast<void>(reader.GetData(dst, n)); }),
                  "CDoubleBuffering::GetData(): Illegal iDataLen!")
            << n;
}

TEST(DoubleBuffering, DeliversAThousandBytesAsTwoFullChunksAndTheRest) {
    TempDir dir;
    const auto bytes = PseudoRandomBytes(1000, 7);
    WriteFile(dir / "in", bytes);
    std::ifstream in(dir / "in", std::ios::binary);
    unsigned char buffer[1024], chunk[384];
    CDoubleBuffering reader(in, buffer, 1024, 384);
    std::vector<uint8_t> seen;
    for (int expected : {384, 384, 232}) {
        const int n = reader.GetData(chunk, -1);
        ASSERT_EQ(n, expected);
        seen.insert(seen.end(), chunk, chunk + n);
    }
    EXPECT_EQ(seen, bytes);
    EXPECT_EQ(reader.GetData(chunk, -1), 0);
    EXPECT_EQ(reader.GetData(chunk, 1), 0);
}

// Every byte exactly once and in order, for inputs around the half and whole buffer
// sizes and for request lengths that do and do not divide them.
TEST(DoubleBuffering, DeliversEveryByteOnceForAllSizesAndRequestLengths) {
    const size_t sizes[] = {0,   1,   383,  384,  385,  511,  512, 513,
                            767, 768, 1023, 1024, 1025, 2048, 5000};
    const std::vector<int> patterns[] = {{384}, {1}, {512}, {100}, {257, 512, 3, 384}};
    for (size_t size : sizes) {
        const auto bytes = PseudoRandomBytes(size, static_cast<uint32_t>(size) + 1);
        for (const auto& pattern : patterns) {
            SCOPED_TRACE(testing::Message() << "size " << size << " first request " << pattern[0]);
            std::istringstream in(AsText(bytes));
            unsigned char buffer[1024], chunk[512];
            CDoubleBuffering reader(in, buffer, 1024, 384);
            std::vector<uint8_t> seen;
            for (size_t i = 0;; ++i) {
                const int want = pattern[i % pattern.size()];
                const int n = reader.GetData(chunk, want);
                ASSERT_GE(n, 0);
                ASSERT_LE(n, want);
                seen.insert(seen.end(), chunk, chunk + n);
                if (n < want)
                    break;
                ASSERT_LE(seen.size(), size) << "full chunk past the end";
            }
            EXPECT_EQ(seen, bytes);
            EXPECT_EQ(reader.GetData(chunk, 384), 0);
            EXPECT_EQ(reader.GetData(chunk, 1), 0);
        }
    }
}
