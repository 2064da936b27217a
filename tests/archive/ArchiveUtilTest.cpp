// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/ArchiveUtil.h"
#include "support/TestFiles.h"

#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

namespace lumora {
namespace {

using test::TempDir;
using test::WriteText;

TEST(ArchiveUtil, EnsureFolderCreatesMissingParents) {
    TempDir dir;
    WriteText(dir / "file", "x");
    EXPECT_EQ(0, EnsureFolder(""));
    EXPECT_EQ(0, EnsureFolder(dir / "file"));
    EXPECT_EQ(0, EnsureFolder(dir / "file/below"));
    EXPECT_EQ(1, EnsureFolder(dir / "a/b/c"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "a/b/c"));
    EXPECT_EQ(1, EnsureFolder(dir / "a/b"));

    EXPECT_EQ(0, EnsureParentFolder("no-slash.txt"));
    EXPECT_EQ(1, EnsureParentFolder(dir / "p/q/file.txt"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "p/q"));
    EXPECT_FALSE(std::filesystem::exists(dir / "p/q/file.txt"));
}

TEST(ArchiveUtil, FileCrc32ReadsTheWholeFile) {
    TempDir dir;
    uint32_t crc = 0;
    WriteText(dir / "check", "123456789");
    ASSERT_EQ(0, FileCrc32(dir / "check", crc));
    EXPECT_EQ(0xCBF43926u, crc); // the standard check value of CRC-32

    // More than one 16384-byte block.
    auto bytes = test::PseudoRandomBytes(40000, 11);
    test::WriteFile(dir / "big", bytes);
    ASSERT_EQ(0, FileCrc32(dir / "big", crc));
    EXPECT_EQ(crc32(0, bytes.data(), static_cast<uInt>(bytes.size())), crc);

    EXPECT_EQ(-1, FileCrc32(dir / "missing", crc));
    EXPECT_EQ(-1, FileCrc32(dir.Path(), crc)); // a folder cannot be read
}

TEST(ArchiveUtil, ApplyEntryTimeSetsOnlyValidDates) {
    TempDir dir;
    std::string path = dir / "f";
    WriteText(path, "x");
    struct stat before {};
    ASSERT_EQ(0, ::stat(path.c_str(), &before));

    EXPECT_EQ(0, ApplyEntryTime(path, 0));
    uint32_t february31 = ((44u << 9 | 2u << 5 | 31u) << 16); // 31 Feb 2024
    EXPECT_EQ(0, ApplyEntryTime(path, february31));
    struct stat after {};
    ASSERT_EQ(0, ::stat(path.c_str(), &after));
    EXPECT_EQ(before.st_mtime, after.st_mtime);

    // 3 Jan 2021, 04:05:06 local time.
    uint32_t dos = (41u << 9 | 1u << 5 | 3u) << 16 | (4u << 11 | 5u << 5 | 3u);
    ASSERT_EQ(1, ApplyEntryTime(path, dos));
    std::tm when{};
    when.tm_year = 121;
    when.tm_mday = 3;
    when.tm_hour = 4;
    when.tm_min = 5;
    when.tm_sec = 6;
    when.tm_isdst = -1;
    ASSERT_EQ(0, ::stat(path.c_str(), &after));
    EXPECT_EQ(std::mktime(&when), after.st_mtime);
    EXPECT_EQ(before.st_atim.tv_sec, after.st_atim.tv_sec);
    EXPECT_EQ(before.st_atim.tv_nsec, after.st_atim.tv_nsec);

    EXPECT_EQ(0, ApplyEntryTime(dir / "missing", dos));
}

} // namespace
} // namespace lumora
