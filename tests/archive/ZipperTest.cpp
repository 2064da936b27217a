// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/Zipper.h"
#include "archive/ArchiveTestTools.h"
#include "archive/Unzipper.h"
#include "support/TestFiles.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/stat.h>

namespace lumora {
namespace {

using test::EntryNames;
using test::ListEntries;
using test::ReadText;
using test::TempDir;
using test::WriteText;

constexpr int kFlagEncrypted = 1;
constexpr int kFlagUtf8Name = 1 << 11;

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

class ZipperTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir / "root/sub");
        std::filesystem::create_directories(dir / "src");
        WriteText(dir / "src/a.txt", "alpha");
        WriteText(dir / "root/sub/b.txt", "bravo");
        WriteText(dir / "root/c.txt", "charlie");
        WriteText(dir / "d.txt", "delta");
    }

    std::string Extracted(const std::string& archive, int k) {
        CUnzipper unzipper(archive);
        unzipper.SetPassword(test::KeptPassword(password));
        std::string out = dir / ("out" + std::to_string(k));
        ZipEntryInfo info;
        if (unzipper.EntryInfoAt(k, info) != 1 || unzipper.ExtractCurrentEntry(out) != 1)
            return "<not extracted>";
        return ReadText(out + "/" + info.name);
    }

    TempDir dir;
    std::optional<std::string> password;
};

TEST_F(ZipperTest, NamesEntriesByTheNamingRules) {
    std::string archive = dir / "names.zip";
    CZipper zipper(archive, dir / "root", 0);
    EXPECT_EQ(1, zipper.AddFile(dir / "src/a.txt", false)); // absolute: file name alone
    EXPECT_EQ(1, zipper.AddFile("sub/b.txt", false));       // relative: read below the root
    EXPECT_EQ(1, zipper.AddFile("./c.txt", false));
    EXPECT_EQ(0, zipper.AddFile("../d.txt", false));
    EXPECT_EQ(0, zipper.AddFile("sub/../../d.txt", false));
    EXPECT_EQ(1, zipper.AddFile("../d.txt", true)); // flattening makes it harmless
    EXPECT_EQ(1, zipper.AddFile("sub/b.txt", true));
    EXPECT_EQ(0, zipper.AddFile("missing.txt", false));
    EXPECT_EQ(0, zipper.AddFile(dir / "src", false)); // a folder is no file
    ASSERT_EQ(0, ::mkfifo((dir / "fifo").c_str(), 0600));
    EXPECT_EQ(0, zipper.AddFile(dir / "fifo", false)); // nor is a pipe, which would block
    ASSERT_EQ(1, zipper.Close());

    EXPECT_EQ((std::vector<std::string>{"a.txt", "sub/b.txt", "c.txt", "d.txt", "b.txt"}),
              EntryNames(archive));
    EXPECT_EQ("alpha", Extracted(archive, 0));
    EXPECT_EQ("bravo", Extracted(archive, 1));
    EXPECT_EQ("charlie", Extracted(archive, 2));
    EXPECT_EQ("delta", Extracted(archive, 3));
    EXPECT_EQ("bravo", ReadText(dir / "out1/sub/b.txt"));
}

TEST_F(ZipperTest, RootFolderComesFromOpen) {
    CZipper zipper;
    EXPECT_EQ(1, zipper.Open(dir / "x.zip", std::nullopt, 0));
    EXPECT_EQ(dir.Path() + "/", zipper.RootFolder());
    EXPECT_EQ(1, zipper.Open(dir / "x.zip", dir / "root", 0));
    EXPECT_EQ(dir / "root/", zipper.RootFolder());
    EXPECT_EQ(1, zipper.Open(dir / "x.zip", dir / "root/", 0));
    EXPECT_EQ(dir / "root/", zipper.RootFolder());
    EXPECT_EQ(1, zipper.Open(dir / "x.zip", std::string(), 0));
    EXPECT_EQ("", zipper.RootFolder());
    EXPECT_EQ(0, zipper.Open(dir / "no/such/folder/x.zip", dir / "root", 0));
    EXPECT_EQ("", zipper.RootFolder());
    EXPECT_EQ(0, zipper.AddFile(dir / "d.txt", false));
    EXPECT_EQ(0, zipper.AddFolder(dir / "root", true));
    EXPECT_EQ(1, zipper.Close());
}

TEST_F(ZipperTest, SameFileNameTwiceGivesTwoEntries) {
    std::string archive = dir / "dup.zip";
    WriteText(dir / "root/r.txt", "first");
    WriteText(dir / "src/r.txt", "second");
    CZipper zipper(archive, std::nullopt, 0);
    EXPECT_EQ(1, zipper.AddFile(dir / "root/r.txt", false));
    EXPECT_EQ(1, zipper.AddFile(dir / "src/r.txt", false));
    ASSERT_EQ(1, zipper.Close());
    EXPECT_EQ((std::vector<std::string>{"r.txt", "r.txt"}), EntryNames(archive));
    EXPECT_EQ("second", Extracted(archive, 1));
}

TEST_F(ZipperTest, AddFolderWalksTheWholeTree) {
    std::string tree = dir / "tree";
    std::filesystem::create_directories(tree + "/sub.dir/deeper");
    WriteText(tree + "/x.txt", "x");
    WriteText(tree + "/.hidden", "h");
    WriteText(tree + "/sub.dir/y.txt", "y");
    WriteText(tree + "/sub.dir/deeper/z.bin", "z");
    // A link back up would make a naive walk endless.
    std::filesystem::create_directory_symlink("..", tree + "/sub.dir/loop");

    std::string archive = dir / "tree.zip";
    CZipper zipper(archive, std::nullopt, 0);
    EXPECT_EQ(1, zipper.AddFolder(tree, true));
    EXPECT_EQ(1, zipper.AddFolder(dir / "no-such-folder", true));
    ASSERT_EQ(1, zipper.Close());
    EXPECT_EQ((std::vector<std::string>{".hidden", "x.txt", "y.txt", "z.bin"}),
              Sorted(EntryNames(archive)));
}

TEST_F(ZipperTest, NeverAddsTheArchiveToItself) {
    std::string archive = dir / "root/self.zip";
    CZipper zipper(archive, std::nullopt, 0);
    EXPECT_EQ(0, zipper.AddFile(archive, false));
    EXPECT_EQ(1, zipper.AddFolder(dir / "root", true));
    ASSERT_EQ(1, zipper.Close());
    EXPECT_EQ((std::vector<std::string>{"c.txt", "b.txt"}), EntryNames(archive));
}

TEST_F(ZipperTest, AppendWritesTheArchiveBehindExistingContent) {
    std::string archive = dir / "appended.bin";
    WriteText(archive, "leading bytes that are no zip");
    CZipper zipper(archive, std::nullopt, 1);
    ASSERT_EQ(1, zipper.AddFile(dir / "d.txt", false));
    ASSERT_EQ(1, zipper.Close());
    EXPECT_EQ("leading bytes that are no zip", ReadText(archive).substr(0, 29));
    EXPECT_EQ("delta", Extracted(archive, 0));
}

TEST_F(ZipperTest, EveryEntryIsDeflatedWithoutDateAttributesOrComment) {
    for (const std::optional<std::string>& pw :
         {std::optional<std::string>(), std::optional<std::string>("secret"),
          std::optional<std::string>("")}) {
        std::string archive = dir / "props.zip";
        CZipper zipper(archive, std::nullopt, 0);
        zipper.SetPassword(test::KeptPassword(pw));
        ASSERT_EQ(1, zipper.AddFile(dir / "d.txt", false));
        ASSERT_EQ(1, zipper.Close());

        auto entries = ListEntries(archive);
        ASSERT_EQ(1u, entries.size());
        const ZipEntryInfo& info = entries[0];
        EXPECT_EQ(pw.has_value(), (info.flags & kFlagEncrypted) != 0) << pw.value_or("(none)");
        EXPECT_EQ(8, info.method);
        EXPECT_EQ(0u, info.dosDateTime);
        EXPECT_EQ(0, info.internalAttributes);
        EXPECT_EQ(0u, info.externalAttributes);
        EXPECT_EQ("", info.comment);
        EXPECT_EQ(5u, info.uncompressedSize);

        password = pw;
        EXPECT_EQ("delta", Extracted(archive, 0));
    }
}

TEST_F(ZipperTest, NonAsciiNamesCarryTheUtf8Flag) {
    std::string archive = dir / "utf8.zip";
    WriteText(dir / "naïve résumé.txt", "accents");
    CZipper zipper(archive, std::nullopt, 0);
    ASSERT_EQ(1, zipper.AddFile(dir / "naïve résumé.txt", false));
    ASSERT_EQ(1, zipper.AddFile(dir / "d.txt", false));
    ASSERT_EQ(1, zipper.Close());
    auto entries = ListEntries(archive);
    ASSERT_EQ(2u, entries.size());
    EXPECT_EQ("naïve résumé.txt", entries[0].name);
    EXPECT_NE(0, entries[0].flags & kFlagUtf8Name);
    EXPECT_EQ(0, entries[1].flags & kFlagUtf8Name);
    EXPECT_EQ("accents", Extracted(archive, 0));
}

TEST_F(ZipperTest, ProgressCountsFileBytesAndCanAbandonAnEntry) {
    std::string big = dir / "big.bin";
    test::WriteFile(big, test::PseudoRandomBytes(300000, 7));
    std::string archive = dir / "progress.zip";
    CZipper zipper(archive, std::nullopt, 0);
    zipper.SetPassword(test::KeptPassword("pw"));
    std::vector<uint64_t> reports;
    zipper.SetProgress([&](uint64_t done) {
        reports.push_back(done);
        return true;
    });
    ASSERT_EQ(1, zipper.AddFile(big, false));
    ASSERT_FALSE(reports.empty());
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
    // One report per deflated block of 128 KiB.
    EXPECT_EQ((std::vector<uint64_t>{131072, 262144, 300000}), reports);

    zipper.SetProgress([](uint64_t) { return false; });
    EXPECT_EQ(0, zipper.AddFile(big, false));
    zipper.SetProgress([](uint64_t) -> bool { throw std::runtime_error("escaping"); });
    EXPECT_EQ(0, zipper.AddFile(big, false));
    EXPECT_EQ(1, zipper.Close());
}

TEST_F(ZipperTest, AddFileAsKeepsTheNameGivenOrRefusesIt) {
    std::string archive = dir / "named.zip";
    CZipper zipper(archive, dir / "src", 0);
    for (const char* refused : {"veilnote.vnt", "a\\b.txt", "x\\", "../a.txt", "./a.txt", "dir/"})
        EXPECT_EQ(0, zipper.AddFileAs("a.txt", refused)) << refused;
    ASSERT_EQ(1, zipper.AddFileAs("a.txt", "sub/日本.txt"));
    const uint8_t message[] = {'m', '\r', '\n'};
    EXPECT_EQ(0, zipper.AddBytesAs("../m", message, sizeof message));
    ASSERT_EQ(1, zipper.AddBytesAs("veilnote.vnt", message, sizeof message));
    ASSERT_EQ(1, zipper.Close());
    EXPECT_EQ((std::vector<std::string>{"sub/日本.txt", "veilnote.vnt"}), EntryNames(archive));
    EXPECT_EQ("alpha", Extracted(archive, 0));
    EXPECT_EQ("m\r\n", Extracted(archive, 1));
}

} // namespace
} // namespace lumora
