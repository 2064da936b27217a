// SPDX-License-Identifier: GPL-2.0-or-later
// Archives written here must open in Info-ZIP unzip and Python's zipfile, and archives
// written by Info-ZIP zip must open here.
#include "archive/ArchiveTestTools.h"
#include "archive/Unzipper.h"
#include "archive/Zipper.h"
#include "support/TestFiles.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace lumora {
namespace {

using test::HaveTool;
using test::ReadFile;
using test::RunCommand;
using test::Sha256Hex;
using test::ShellQuote;
using test::TempDir;
using test::WriteFile;
using test::WriteText;

constexpr int kFlagEncrypted = 1;
constexpr int kFlagDataDescriptor = 1 << 3;
constexpr int kFlagUtf8Name = 1 << 11;

class InteropTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir / "src/sub");
        WriteText(dir / "src/empty.txt", "");
        WriteText(dir / "src/short.txt", "Hello, zip.\n");
        WriteFile(dir / "src/random.bin", test::PseudoRandomBytes(200000, 5));
        std::string text;
        for (int i = 0; i < 20000; ++i)
            text += "line " + std::to_string(i % 97) + " of a compressible text\n";
        WriteText(dir / "src/text.txt", text);
        WriteText(dir / "src/naïve résumé.txt", "accents");
        WriteText(dir / "src/日本.txt", "nihon");
        WriteText(dir / "src/sub/inner.txt", "inside");
    }

    // Writes our archive of the files above; returns the source paths in entry order.
    std::vector<std::string> WriteOurArchive(const std::string& archive,
                                             const std::optional<std::string>& password) {
        std::vector<std::string> files = {"empty.txt", "short.txt",        "random.bin",
                                          "text.txt",  "naïve résumé.txt", "日本.txt"};
        CZipper zipper(archive, std::nullopt, 0);
        zipper.SetPassword(test::KeptPassword(password));
        std::vector<std::string> paths;
        for (const auto& name : files) {
            paths.push_back(dir / ("src/" + name));
            EXPECT_EQ(1, zipper.AddFile(paths.back(), false)) << name;
        }
        EXPECT_EQ(1, zipper.Close());
        return paths;
    }

    TempDir dir;
};

TEST_F(InteropTest, PythonReadsOurEntriesAsSpecifiedWithThePassword) {
    if (!HaveTool("python3"))
        GTEST_SKIP() << "python3 is not installed";
    for (const std::optional<std::string>& password :
         {std::optional<std::string>("pässwörd"), std::optional<std::string>()}) {
        std::string archive = dir / "ours.zip";
        auto paths = WriteOurArchive(archive, password);
        auto entries = test::DescribeWithPython(archive, password);
        ASSERT_EQ(paths.size(), entries.size()) << password.value_or("(none)");
        for (size_t i = 0; i < paths.size(); ++i) {
            const auto& e = entries[i];
            std::string name = std::filesystem::path(paths[i]).filename().string();
            SCOPED_TRACE(name);
            EXPECT_EQ(name, e.name);
            EXPECT_EQ(password.has_value(), (e.flags & kFlagEncrypted) != 0);
            EXPECT_EQ(name == "naïve résumé.txt" || name == "日本.txt",
                      (e.flags & kFlagUtf8Name) != 0);
            EXPECT_EQ(0, e.flags & kFlagDataDescriptor);
            EXPECT_EQ(8, e.method);
            EXPECT_EQ("1980-0-0-0-0-0", e.dateTime); // DOS date and time 0
            EXPECT_EQ(0, e.internalAttributes);
            EXPECT_EQ(0, e.externalAttributes);
            EXPECT_EQ(0, e.centralExtraLength);
            EXPECT_EQ(0, e.localExtraLength);
            EXPECT_EQ(0, e.commentLength);
            EXPECT_EQ(Sha256Hex(paths[i]), e.sha256);
            EXPECT_EQ("deflate-level-9", e.stream);
        }
    }
    // Python refuses to read an encrypted archive without the right password.
    std::string archive = dir / "ours.zip";
    WriteOurArchive(archive, "pässwörd");
    EXPECT_TRUE(test::DescribeWithPython(archive, "wrong").empty());
}

TEST_F(InteropTest, InfoZipUnzipExtractsOurArchive) {
    if (!HaveTool("unzip"))
        GTEST_SKIP() << "unzip is not installed";
    // Python cannot read entries under the empty password; unzip can.
    for (const std::string password : {"pässwörd", ""}) {
        std::string archive = dir / "ours.zip";
        auto paths = WriteOurArchive(archive, password);
        std::string out = dir / ("unzipped" + std::to_string(password.size()));
        ASSERT_EQ(0, RunCommand("unzip -qq -P " + ShellQuote(password) + " -d " + ShellQuote(out) +
                                " " + ShellQuote(archive) + " 2>&1 </dev/null"));
        for (const auto& path : paths) {
            std::string name = std::filesystem::path(path).filename().string();
            EXPECT_EQ(ReadFile(path), ReadFile(out + "/" + name)) << name;
        }
    }
    std::string archive = dir / "ours.zip";
    WriteOurArchive(archive, "pässwörd");
    // unzip's own integrity test agrees, and fails with a wrong password.
    EXPECT_EQ(0, RunCommand("unzip -tqq -P " + ShellQuote("pässwörd") + " " + ShellQuote(archive) +
                            " >/dev/null 2>&1"));
    EXPECT_NE(0, RunCommand("unzip -tqq -P wrong " + ShellQuote(archive) + " >/dev/null 2>&1"));
}

TEST_F(InteropTest, ReadsArchivesWrittenByInfoZip) {
    if (!HaveTool("zip"))
        GTEST_SKIP() << "zip is not installed";
    std::string files = "empty.txt short.txt random.bin text.txt sub/inner.txt";
    // To a file zip seeks back; to a pipe it streams with data descriptors.
    std::string seekable = dir / "seekable.zip";
    std::string streamed = dir / "streamed.zip";
    ASSERT_TRUE(test::MakeZipWithInfoZip(seekable, dir / "src", files, "pw", false));
    ASSERT_TRUE(test::MakeZipWithInfoZip(streamed, dir / "src", files, "pw", true));

    for (const std::string& archive : {seekable, streamed}) {
        SCOPED_TRACE(archive);
        CUnzipper unzipper(archive);
        ASSERT_EQ(5, unzipper.EntryCount());
        std::string out = archive + ".out";
        unzipper.SetPassword(test::KeptPassword("pw"));
        for (int k = 0; k < 5; ++k) {
            ZipEntryInfo info;
            ASSERT_EQ(1, unzipper.EntryInfoAt(k, info));
            EXPECT_NE(0, info.flags & kFlagEncrypted) << info.name;
            EXPECT_EQ(1, unzipper.ExtractCurrentEntry(out)) << info.name;
            EXPECT_EQ(ReadFile(dir / ("src/" + info.name)), ReadFile(out + "/" + info.name))
                << info.name;
        }
        unzipper.SetPassword(test::KeptPassword("wrong"));
        for (int k = 0; k < 5; ++k) {
            // An empty entry has no data to check: one wrong password in 256 passes its
            // check byte, and what it extracts is then the right (empty) content.
            ZipEntryInfo entry;
            ASSERT_EQ(1, unzipper.EntryInfoAt(k, entry));
            if (entry.uncompressedSize > 0) {
                EXPECT_EQ(0, unzipper.ExtractEntryAt(k, dir / "wrong")) << k;
            }
        }
        EXPECT_FALSE(std::filesystem::exists(dir / "wrong/random.bin"));
    }
    ZipEntryInfo info;
    CUnzipper unzipper(streamed);
    ASSERT_EQ(1, unzipper.EntryInfoAt(2, info));
    EXPECT_NE(0, info.flags & kFlagDataDescriptor);
}

} // namespace
} // namespace lumora
