// SPDX-License-Identifier: GPL-2.0-or-later
// A by-hand check that large files stream through the archive layer instead of being
// held in memory. Disabled by default (it writes about 3 GiB); run it under
// /usr/bin/time -v and read "Maximum resident set size":
//   archive_tests --gtest_also_run_disabled_tests --gtest_filter='*OneGibibyte*'
#include "archive/ArchiveTestTools.h"
#include "archive/ArchiveUtil.h"
#include "archive/Unzipper.h"
#include "archive/Zipper.h"
#include "support/TestFiles.h"

#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>

namespace lumora {
namespace {

TEST(LargeFile, DISABLED_OneGibibyteFileIsAddedAndExtracted) {
    test::TempDir dir;
    std::string source = dir / "large.bin";
    constexpr size_t kChunk = 1 << 20;
    constexpr int kChunks = 1024;
    {
        // Alternating random and repetitive mebibytes: deflate has work to do either way.
        auto random = test::PseudoRandomBytes(kChunk, 17);
        std::vector<uint8_t> repetitive(kChunk);
        for (size_t i = 0; i < kChunk; ++i)
            repetitive[i] = static_cast<uint8_t>("large file stream test "[i % 23]);
        FILE* out = std::fopen(source.c_str(), "wb");
        ASSERT_NE(nullptr, out);
        for (int i = 0; i < kChunks; ++i) {
            const auto& chunk = i % 2 == 0 ? random : repetitive;
            ASSERT_EQ(kChunk, std::fwrite(chunk.data(), 1, kChunk, out));
        }
        ASSERT_EQ(0, std::fclose(out));
    }
    uint32_t sourceCrc = 0;
    ASSERT_EQ(0, FileCrc32(source, sourceCrc));

    std::string archive = dir / "large.zip";
    CZipper zipper(archive, std::nullopt, 0);
    zipper.SetPassword(test::KeptPassword("large"));
    ASSERT_EQ(1, zipper.AddFile(source, false));
    ASSERT_EQ(1, zipper.Close());

    CUnzipper unzipper(archive);
    unzipper.SetPassword(test::KeptPassword("large"));
    ASSERT_EQ(1, unzipper.ExtractEntryAt(0, dir / "out"));
    uint32_t extractedCrc = 0;
    ASSERT_EQ(0, FileCrc32(dir / "out/large.bin", extractedCrc));
    EXPECT_EQ(sourceCrc, extractedCrc);
    EXPECT_EQ(uint64_t{kChunk} * kChunks, std::filesystem::file_size(dir / "out/large.bin"));
}

} // namespace
} // namespace lumora
