// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/Unzipper.h"
#include "archive/ArchiveTestTools.h"
#include "archive/PkwareCipher.h"
#include "archive/Zipper.h"
#include "support/TestFiles.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace lumora {
namespace {

using test::FileExists;
using test::MakeZipWithPython;
using test::ReadFile;
using test::ReadText;
using test::TempDir;
using test::WriteFile;
using test::WriteText;

// Names of everything below folder (or of its files alone), relative to it.
std::vector<std::string> FilesBelow(const std::string& folder, bool filesOnly = false) {
    std::vector<std::string> names;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (!filesOnly || it->is_regular_file())
            names.push_back(std::filesystem::relative(it->path(), folder).string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class UnzipperTest : public ::testing::Test {
protected:
    // An archive of three files written by CZipper under password "pw": one.txt,
    // sub/two.txt and three.bin.
    void SetUp() override {
        std::filesystem::create_directories(dir / "src/sub");
        WriteText(dir / "src/one.txt", "one");
        WriteText(dir / "src/sub/two.txt", "two two");
        three = test::PseudoRandomBytes(200000, 3);
        WriteFile(dir / "src/three.bin", three);
        CZipper zipper(archive, dir / "src", 0);
        zipper.SetPassword(test::KeptPassword("pw"));
        ASSERT_EQ(1, zipper.AddFile("one.txt", false));
        ASSERT_EQ(1, zipper.AddFile("sub/two.txt", false));
        ASSERT_EQ(1, zipper.AddFile("three.bin", false));
        ASSERT_EQ(1, zipper.Close());
    }

    TempDir dir;
    std::string archive = dir / "three.zip";
    std::vector<uint8_t> three;
};

TEST_F(UnzipperTest, NothingWorksWithoutAnOpenArchive) {
    CUnzipper unzipper;
    ZipEntryInfo info;
    EXPECT_EQ(0, unzipper.EntryCount());
    EXPECT_EQ(0, unzipper.SelectEntry(0));
    EXPECT_EQ(0, unzipper.ReadEntryInfo(info));
    EXPECT_EQ(0, unzipper.ExtractCurrentEntry(dir / "out"));
    EXPECT_EQ(0, unzipper.Open(dir / "missing.zip"));
    WriteText(dir / "not-a.zip", std::string(100, 'x'));
    EXPECT_EQ(0, unzipper.Open(dir / "not-a.zip"));
    EXPECT_EQ(0, unzipper.EntryCount());
}

TEST_F(UnzipperTest, EntryIndexesAreBounded) {
    CUnzipper unzipper(archive);
    unzipper.SetPassword(test::KeptPassword("pw"));
    ZipEntryInfo info;
    ASSERT_EQ(3, unzipper.EntryCount());
    EXPECT_EQ(0, unzipper.SelectEntry(-1));
    EXPECT_EQ(0, unzipper.SelectEntry(3));
    EXPECT_EQ(0, unzipper.EntryInfoAt(3, info));
    EXPECT_EQ(0, unzipper.ExtractEntryAt(3, dir / "out"));
    EXPECT_EQ(0, unzipper.ExtractEntryAt(-1, dir / "out"));

    // Any order of selection lands on the right entry.
    ASSERT_EQ(1, unzipper.EntryInfoAt(2, info));
    EXPECT_EQ("three.bin", info.name);
    ASSERT_EQ(1, unzipper.EntryInfoAt(0, info));
    EXPECT_EQ("one.txt", info.name);
    ASSERT_EQ(1, unzipper.EntryInfoAt(1, info));
    EXPECT_EQ("sub/two.txt", info.name);
    EXPECT_FALSE(info.isFolder);
    EXPECT_EQ(1, unzipper.ExtractCurrentEntry(dir / "out"));
    EXPECT_EQ((std::vector<std::string>{"sub", "sub/two.txt"}), FilesBelow(dir / "out"));
}

TEST_F(UnzipperTest, ExtractsIntoTheTargetFolderReplacingFiles) {
    CUnzipper unzipper(archive);
    unzipper.SetPassword(test::KeptPassword("pw"));
    WriteText(dir / "a-file", "x");
    EXPECT_EQ(0, unzipper.SetTargetFolder(dir / "a-file"));
    EXPECT_EQ("", unzipper.TargetFolder());
    EXPECT_EQ(0, unzipper.ExtractEntryAt(0)); // no target folder yet

    std::string target = dir / "deep/target";
    ASSERT_EQ(1, unzipper.SetTargetFolder(target));
    EXPECT_EQ(target, unzipper.TargetFolder());
    std::filesystem::create_directories(target + "/sub");
    WriteText(target + "/sub/two.txt", "an older and longer text");
    WriteText(target + "/three.bin", "old");
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(1, unzipper.ExtractEntryAt(k)) << k;
    EXPECT_EQ("one", ReadText(target + "/one.txt"));
    EXPECT_EQ("two two", ReadText(target + "/sub/two.txt"));
    EXPECT_EQ(three, ReadFile(target + "/three.bin"));
    EXPECT_EQ((std::vector<std::string>{"one.txt", "sub", "sub/two.txt", "three.bin"}),
              FilesBelow(target));

    // An explicit folder wins over the target folder, and is created with the entry's
    // sub-folder.
    ASSERT_EQ(1, unzipper.ExtractEntryAt(1, dir / "elsewhere"));
    EXPECT_EQ("two two", ReadText(dir / "elsewhere/sub/two.txt"));
}

TEST_F(UnzipperTest, TrailingZeroBytesAreIgnored) {
    auto bytes = ReadFile(archive);
    for (size_t zeros : {1u, 7u, 15u}) {
        auto padded = bytes;
        padded.resize(bytes.size() + zeros, 0);
        std::string path = dir / ("padded" + std::to_string(zeros) + ".zip");
        WriteFile(path, padded);
        CUnzipper unzipper(path);
        unzipper.SetPassword(test::KeptPassword("pw"));
        ASSERT_EQ(3, unzipper.EntryCount()) << zeros;
        std::string out = dir / ("out" + std::to_string(zeros));
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(1, unzipper.ExtractEntryAt(k, out)) << zeros << " " << k;
        EXPECT_EQ(three, ReadFile(out + "/three.bin"));
    }
}

TEST_F(UnzipperTest, WrongOrMissingPasswordExtractsNothing) {
    std::string out = dir / "out";
    std::filesystem::create_directories(out);
    WriteText(out + "/three.bin", "keep me");
    CUnzipper unzipper(archive);
    EXPECT_EQ(0, unzipper.ExtractEntryAt(2, out)); // no password for an encrypted entry
    unzipper.SetPassword(test::KeptPassword("wrong"));
    EXPECT_EQ(0, unzipper.ExtractEntryAt(2, out));

    // About one wrong password in 256 passes the one-byte check of the encryption
    // header; such a password must still fail when the data is inflated or its CRC checked.
    auto entries = test::ListEntries(archive);
    ASSERT_EQ(3u, entries.size());
    size_t offset = 0; // of three.bin's encryption header: past two entries and a header
    for (int k = 0; k < 2; ++k)
        offset += 30 + entries[k].name.size() + entries[k].compressedSize;
    offset += 30 + entries[2].name.size();
    auto bytes = ReadFile(archive);
    std::string lucky;
    for (int i = 0; lucky.empty() && i < 100000; ++i) {
        std::string candidate = "wrong" + std::to_string(i);
        uint8_t header[PkwareCipher::kHeaderSize];
        std::copy_n(bytes.begin() + static_cast<long>(offset), sizeof header, header);
        if (PkwareCipher(Password(candidate)).ReadHeader(header) == entries[2].crc32 >> 24)
            lucky = candidate;
    }
    ASSERT_FALSE(lucky.empty());
    unzipper.SetPassword(test::KeptPassword(lucky));
    EXPECT_EQ(0, unzipper.ExtractEntryAt(2, out)) << lucky;
    EXPECT_EQ((std::vector<std::string>{"three.bin"}), FilesBelow(out, true));
    EXPECT_EQ("keep me", ReadText(out + "/three.bin"));
    unzipper.SetPassword(test::KeptPassword("pw"));
    EXPECT_EQ(1, unzipper.ExtractEntryAt(2, out));
    EXPECT_EQ(three, ReadFile(out + "/three.bin"));
}

TEST_F(UnzipperTest, AbandonedExtractionLeavesNoPartialFile) {
    CUnzipper unzipper(archive);
    unzipper.SetPassword(test::KeptPassword("pw"));
    std::vector<uint64_t> reports;
    unzipper.SetProgress([&](uint64_t done) {
        reports.push_back(done);
        return reports.size() < 3;
    });
    std::string out = dir / "out";
    EXPECT_EQ(0, unzipper.ExtractEntryAt(2, out));
    // Reports come after every 64 KiB written.
    EXPECT_EQ((std::vector<uint64_t>{65536, 131072, 196608}), reports);
    EXPECT_TRUE(FilesBelow(out).empty());
}

TEST(UnzipperForeignArchives, UnsafeNamesAreNeverExtracted) {
    TempDir dir;
    std::string archive = dir / "evil.zip";
    std::string absolute = dir / "absolute.txt";
    ASSERT_TRUE(MakeZipWithPython(archive, {"../evil1.txt", "1", absolute, "2", "..\\evil3.txt",
                                            "3", "sub/../../evil4.txt", "4", "..", "5",
                                            "win\\inner.txt", "6", "ok.txt", "7"}));
    std::string target = dir / "in/target";
    CUnzipper unzipper(archive);
    ASSERT_EQ(1, unzipper.SetTargetFolder(target));
    ASSERT_EQ(7, unzipper.EntryCount());
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(0, unzipper.ExtractEntryAt(k)) << k;
    EXPECT_EQ(1, unzipper.ExtractEntryAt(5));
    EXPECT_EQ(1, unzipper.ExtractEntryAt(6));

    ZipEntryInfo info;
    ASSERT_EQ(1, unzipper.EntryInfoAt(2, info));
    EXPECT_EQ("../evil3.txt", info.name);
    ASSERT_EQ(1, unzipper.EntryInfoAt(5, info));
    EXPECT_EQ("win/inner.txt", info.name);
    // Nothing landed beside the target folder, above it, or at the absolute path.
    EXPECT_EQ((std::vector<std::string>{"evil.zip", "in", "in/target", "in/target/ok.txt",
                                        "in/target/win", "in/target/win/inner.txt"}),
              FilesBelow(dir.Path()));
    EXPECT_FALSE(FileExists(absolute));
}

TEST(UnzipperForeignArchives, DamagedDataFailsItsCrcCheck) {
    TempDir dir;
    std::string archive = dir / "stored.zip";
    ASSERT_TRUE(MakeZipWithPython(archive, {"--stored", "data.txt", "some stored text"}));
    auto bytes = ReadFile(archive);
    // Local header (30 bytes) and the 8-byte name come before the data.
    bytes[30 + 8 + 3] ^= 0x20;
    WriteFile(archive, bytes);
    CUnzipper unzipper(archive);
    EXPECT_EQ(0, unzipper.ExtractEntryAt(0, dir / "out"));
    EXPECT_FALSE(FileExists(dir / "out/data.txt"));
}

TEST(UnzipperForeignArchives, DataBeyondTheDeclaredSizeIsRefused) {
    TempDir dir;
    std::string archive = dir / "bomb.zip";
    ASSERT_TRUE(MakeZipWithPython(archive, {"--claim-size", "1000", "bomb.bin", "@zeros:1048576"}));
    CUnzipper unzipper(archive);
    EXPECT_EQ(0, unzipper.ExtractEntryAt(0, dir / "out"));
    EXPECT_TRUE(FilesBelow(dir / "out").empty());
}

TEST(UnzipperForeignArchives, FolderEntriesAndEntryTimes) {
    TempDir dir;
    std::string archive = dir / "misc.zip";
    ASSERT_TRUE(MakeZipWithPython(archive, {"folder/", "", "dated.txt", "when"}));
    CUnzipper unzipper(archive);
    ZipEntryInfo info;
    ASSERT_EQ(1, unzipper.EntryInfoAt(0, info));
    EXPECT_TRUE(info.isFolder);
    EXPECT_EQ(1, unzipper.ExtractCurrentEntry(dir / "out"));
    EXPECT_FALSE(FileExists(dir / "out/folder"));

    ASSERT_EQ(1, unzipper.EntryInfoAt(1, info));
    EXPECT_FALSE(info.isFolder);
    ASSERT_EQ(1, unzipper.ExtractCurrentEntry(dir / "out"));
    // The archive says 17 May 2020, 10:30:00 local time.
    std::tm when{};
    when.tm_year = 120;
    when.tm_mon = 4;
    when.tm_mday = 17;
    when.tm_hour = 10;
    when.tm_min = 30;
    when.tm_isdst = -1;
    struct stat st {};
    ASSERT_EQ(0, ::stat((dir / "out/dated.txt").c_str(), &st));
    EXPECT_EQ(std::mktime(&when), st.st_mtime);
}

} // namespace
} // namespace lumora
