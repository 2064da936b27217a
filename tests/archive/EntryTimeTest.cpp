// SPDX-License-Identifier: GPL-2.0-or-later
// Modification times in zip entries: the extended-timestamp block written and read, kept
// only where the archive keeps times, and a foreign entry's DOS date read back.
#include "archive/ArchiveTestTools.h"
#include "archive/ExtraFields.h"
#include "archive/Unzipper.h"
#include "archive/Zipper.h"
#include "support/TestFiles.h"

#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace lumora {
namespace {

constexpr int64_t kTime = 1000000000; // 2001-09-09

struct ExtraCase {
    const char* what;
    std::vector<uint8_t> extra;
    std::optional<int64_t> time;
};

class ExtraFieldTime : public ::testing::TestWithParam<ExtraCase> {};

TEST_P(ExtraFieldTime, IsReadFromTheFirstTimestampBlockWithOne) {
    EXPECT_EQ(ModifiedTimeIn(GetParam().extra), GetParam().time);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, ExtraFieldTime,
    ::testing::Values(
        ExtraCase{"timestamp", {0x55, 0x54, 5, 0, 1, 0x00, 0xCA, 0x9A, 0x3B}, kTime},
        ExtraCase{"afterAnother",
                  {0x0A, 0x00, 2, 0, 7, 7, 0x55, 0x54, 5, 0, 3, 0x00, 0xCA, 0x9A, 0x3B},
                  kTime},
        ExtraCase{"highBitIsUnsigned", {0x55, 0x54, 5, 0, 1, 0xFF, 0xFF, 0xFF, 0xFF}, 0xFFFFFFFF},
        ExtraCase{"onlyAccessTime", {0x55, 0x54, 5, 0, 2, 0x00, 0xCA, 0x9A, 0x3B}, std::nullopt},
        ExtraCase{"runsPastTheEnd", {0x55, 0x54, 9, 0, 1, 0x00, 0xCA, 0x9A, 0x3B}, std::nullopt},
        ExtraCase{"otherId", {0x56, 0x54, 5, 0, 1, 0x00, 0xCA, 0x9A, 0x3B}, std::nullopt}),
    [](const ::testing::TestParamInfo<ExtraCase>& row) { return row.param.what; });

class EntryTimes : public ::testing::Test {
protected:
    void SetUp() override {
        test::WriteText(m_dir / "f.txt", "timed");
        const struct timespec times[2] = {{kTime, 0}, {kTime, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, (m_dir / "f.txt").c_str(), times, 0), 0);
    }

    // An archive of f.txt and of bytes from memory, with times kept or not.
    std::string Written(const std::string& name, bool storeTimes) {
        CZipper zipper(m_dir / name, std::nullopt, 0);
        zipper.SetStoreTimes(storeTimes);
        const uint8_t bytes[] = {'m'};
        EXPECT_EQ(1, zipper.AddFile(m_dir / "f.txt", true));
        EXPECT_EQ(1, zipper.AddBytesAs("m.txt", bytes, sizeof bytes));
        EXPECT_EQ(1, zipper.Close());
        return m_dir / name;
    }

    test::TempDir m_dir;
};

TEST_F(EntryTimes, OnlyFilesOfArchivesThatKeepTimesCarryOne) {
    const auto timed = test::ListEntries(Written("timed.zip", true));
    const auto plain = test::ListEntries(Written("plain.zip", false));
    ASSERT_EQ(timed.size(), 2u);
    ASSERT_EQ(plain.size(), 2u);
    EXPECT_EQ(timed[0].modifiedTime, kTime);
    EXPECT_EQ(timed[1].modifiedTime, std::nullopt);
    EXPECT_EQ(plain[0].modifiedTime, std::nullopt);
    EXPECT_EQ(timed[0].dosDateTime, 0u);
    // One 9-byte block in the local header and one in the central directory, nothing else.
    EXPECT_EQ(test::ReadFile(m_dir / "timed.zip").size(),
              test::ReadFile(m_dir / "plain.zip").size() + 18);
}

TEST_F(EntryTimes, AForeignEntryGivesItsDosDateBack) {
    const std::string command = "cd '" + m_dir.Path() + "' && zip -q -X foreign.zip f.txt";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const auto entries = test::ListEntries(m_dir / "foreign.zip");
    ASSERT_EQ(entries.size(), 1u);
    ASSERT_NE(entries[0].dosDateTime, 0u);
    ASSERT_TRUE(entries[0].modifiedTime.has_value());
    EXPECT_NEAR(static_cast<double>(*entries[0].modifiedTime), static_cast<double>(kTime), 2.0);
}

} // namespace
} // namespace lumora
