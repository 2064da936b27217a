// SPDX-License-Identifier: GPL-2.0-or-later
// Entries copied from one archive into another: stored bytes kept while the encryption
// stays, enciphered afresh where it changes, and readable by every reader afterwards.
#include "archive/ArchiveTestTools.h"
#include "archive/Unzipper.h"
#include "archive/ZipBytes.h"
#include "archive/Zipper.h"
#include "support/TestFiles.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>

namespace lumora {
namespace {

using test::Bytes;
using test::KeptPassword;
using test::ShellQuote;
using test::TempDir;
using E = EntryCheck;

constexpr int kFlagEncrypted = 1;
constexpr int kFlagDataDescriptor = 1 << 3;

std::string Content(CUnzipper& unzipper, int k) {
    std::string content;
    EntryCheck check = unzipper.ReadEntryAt(k, [&](const uint8_t* data, size_t length) {
        content.append(reinterpret_cast<const char*>(data), length);
        return true;
    });
    return check == E::Ok ? content : "<not read>";
}

class CopyEntryTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir / "src/sub");
        test::WriteText(dir / "src/short.txt", "short text\n");
        test::WriteFile(dir / "src/random.bin", test::PseudoRandomBytes(40000, 4));
        test::WriteFile(dir / "src/sub/zeros.bin", Bytes(100000, 0));
        test::WriteText(dir / "src/empty.txt", "");
        test::WriteText(dir / "src/naïve.txt", "accents");

        CZipper zipper(sources["ours"], dir / "src", 0);
        zipper.SetPassword(KeptPassword("pw"));
        for (const char* name : {"short.txt", "random.bin", "sub/zeros.bin", "empty.txt"})
            EXPECT_EQ(1, zipper.AddFileAs(name, name)) << name;
        EXPECT_EQ(1, zipper.AddFileAs("naïve.txt", "日本/naïve.txt"));
        EXPECT_EQ(1, zipper.Close());

        EXPECT_TRUE(test::MakeZipWithPython(
            sources["foreign"], {"win\\inner.txt", "from another system", "dated.txt", "when"}));
        if (test::HaveTool("zip")) {
            std::string files = "short.txt random.bin sub/zeros.bin empty.txt";
            std::string cd = "cd " + ShellQuote(dir / "src") + " && ";
            // Info-ZIP gives encrypted entries a data descriptor also when it can seek back.
            EXPECT_EQ(0, test::RunCommand(cd + "zip -q -9 -P pw " + ShellQuote(sources["zip"]) +
                                          " " + files + " 2>&1"));
            EXPECT_EQ(0, test::RunCommand(cd + "zip -q -9 " + ShellQuote(sources["zip-plain"]) +
                                          " " + files + " 2>&1"));
            EXPECT_EQ(0, test::RunCommand(cd + "zip -q -9 -P pw - " + files + " > " +
                                          ShellQuote(sources["piped"]) + " 2>/dev/null"));
        }
    }

    TempDir dir;
    std::map<std::string, std::string> sources = {{"ours", dir / "ours.zip"},
                                                  {"foreign", dir / "foreign.zip"},
                                                  {"zip", dir / "zip.zip"},
                                                  {"zip-plain", dir / "zip-plain.zip"},
                                                  {"piped", dir / "piped.zip"}};
};

TEST_F(CopyEntryTest, CopiesKeepBytesOrEncipherAfreshAndReadEverywhere) {
    struct Case {
        std::string source;
        std::optional<std::string> sourcePassword;
        std::optional<std::string> targetPassword;
        bool keepsBytes;
    };
    const Case cases[] = {
        {"ours", "pw", "pw", true},
        {"ours", "pw", "new", false},
        {"ours", "pw", std::nullopt, false},
        {"foreign", std::nullopt, std::nullopt, true},
        {"foreign", std::nullopt, "new", false},
        // Info-ZIP's entries keep their extra fields (times, owner) in the copy.
        {"zip-plain", std::nullopt, std::nullopt, true},
        {"zip-plain", std::nullopt, "new", false},
        // Entries with a data descriptor take their check byte from the DOS time; a copy
        // has no descriptor, so it is enciphered afresh even under the same password.
        {"zip", "pw", "pw", false},
        {"zip", "pw", "new", false},
        {"piped", "pw", "pw", false},
        {"piped", "pw", std::nullopt, false},
    };
    int skipped = 0;
    std::map<std::string, std::vector<test::PythonEntry>> pythonSees;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source + " from " + c.sourcePassword.value_or("(none)") + " to " +
                     c.targetPassword.value_or("(none)"));
        if (!test::FileExists(sources[c.source])) {
            ++skipped;
            continue;
        }
        std::string target = dir / "copy.zip";
        CUnzipper source(sources[c.source]);
        source.SetPassword(KeptPassword(c.sourcePassword));
        const int count = source.EntryCount();
        ASSERT_GT(count, 1);
        {
            CZipper zipper(target, std::nullopt, 0);
            zipper.SetPassword(KeptPassword(c.targetPassword));
            for (int k = 0; k < count; ++k)
                ASSERT_EQ(E::Ok, zipper.CopyEntryFrom(source, k, KeptPassword(c.sourcePassword)))
                    << k;
            ASSERT_EQ(1, zipper.Close());
        }

        CUnzipper copy(target);
        copy.SetPassword(KeptPassword(c.targetPassword));
        ASSERT_EQ(count, copy.EntryCount());
        const Bytes sourceBytes = test::ReadFile(sources[c.source]);
        const Bytes copyBytes = test::ReadFile(target);
        for (int k = 0; k < count; ++k) {
            ZipEntryInfo from, to;
            ASSERT_EQ(1, source.EntryInfoAt(k, from));
            ASSERT_EQ(1, copy.EntryInfoAt(k, to));
            SCOPED_TRACE(from.storedName);
            EXPECT_EQ(from.storedName, to.storedName);
            int flags = (from.flags & ~(kFlagEncrypted | kFlagDataDescriptor)) |
                        (c.targetPassword ? kFlagEncrypted : 0);
            EXPECT_EQ(flags, to.flags);
            EXPECT_EQ(from.method, to.method);
            EXPECT_EQ(from.crc32, to.crc32);
            EXPECT_EQ(from.uncompressedSize, to.uncompressedSize);
            EXPECT_EQ(from.dosDateTime, to.dosDateTime);
            EXPECT_EQ(from.externalAttributes, to.externalAttributes);
            EXPECT_EQ(from.versionMadeBy, to.versionMadeBy);
            int header = (to.encrypted ? 12 : 0) - (from.encrypted ? 12 : 0);
            EXPECT_EQ(from.compressedSize + header, to.compressedSize);
            Bytes before(sourceBytes.begin() + static_cast<long>(from.dataOffset),
                         sourceBytes.begin() +
                             static_cast<long>(from.dataOffset + from.compressedSize));
            Bytes after(copyBytes.begin() + static_cast<long>(to.dataOffset),
                        copyBytes.begin() + static_cast<long>(to.dataOffset + to.compressedSize));
            EXPECT_EQ(c.keepsBytes, before == after);
            EXPECT_EQ(E::Ok, copy.VerifyEntryAt(k));
            EXPECT_TRUE(Content(source, k) == Content(copy, k)); // no dump of the data
        }

        if (test::HaveTool("unzip")) {
            std::string password = c.targetPassword ? "-P " + ShellQuote(*c.targetPassword) : "";
            EXPECT_EQ(0, test::RunCommand("unzip -tqq " + password + " " + ShellQuote(target) +
                                          " >/dev/null 2>&1 </dev/null"));
        }
        if (test::HaveTool("python3")) {
            if (!pythonSees.contains(c.source))
                pythonSees[c.source] =
                    test::DescribeWithPython(sources[c.source], c.sourcePassword);
            const auto& before = pythonSees[c.source];
            auto after = test::DescribeWithPython(target, c.targetPassword);
            ASSERT_EQ(before.size(), after.size());
            for (size_t k = 0; k < before.size(); ++k) {
                EXPECT_EQ(before[k].name, after[k].name);
                EXPECT_EQ(before[k].sha256, after[k].sha256);
                EXPECT_EQ(before[k].dateTime, after[k].dateTime);
                EXPECT_EQ(before[k].centralExtraLength, after[k].centralExtraLength);
                EXPECT_EQ(before[k].localExtraLength, after[k].localExtraLength);
            }
        }
    }
    if (skipped > 0)
        GTEST_SKIP() << "zip is not installed: " << skipped << " cases with its archives not run";
}

TEST_F(CopyEntryTest, RefusedEntriesLeaveNothingInTheCopy) {
    Bytes ours = test::ReadFile(sources["ours"]);
    auto raw = test::RawEntries(ours);
    ASSERT_EQ(5u, raw.size());
    // The records of short.txt, random.bin twice (overlapping) and zeros.bin with method 14.
    Bytes records;
    for (size_t k : {0, 1, 1, 2}) {
        records.insert(records.end(), ours.begin() + static_cast<long>(raw[k].central),
                       ours.begin() + static_cast<long>(raw[k].central + raw[k].centralSize));
    }
    Bytes hostile = test::WithDirectory(ours, records, 4);
    auto hostileRaw = test::RawEntries(hostile);
    test::PatchBoth16(hostile, hostileRaw[3], 8, 14);
    std::string path = dir / "hostile.zip";
    test::WriteFile(path, hostile);

    const std::string wrong = test::PasswordPassing(ours, std::vector<bool>(5, false));
    ASSERT_FALSE(wrong.empty());
    CUnzipper source(path);
    ASSERT_EQ(4, source.EntryCount());
    std::string target = dir / "copy.zip";
    CZipper zipper(target, std::nullopt, 0);
    zipper.SetPassword(KeptPassword("new"));
    struct Case {
        int entry;
        std::optional<std::string> sourcePassword;
        EntryCheck expected;
    };
    const Case cases[] = {
        {0, wrong, E::WrongPassword},
        {0, std::nullopt, E::WrongPassword},
        {1, "pw", E::Damaged},
        {2, "pw", E::Damaged},
        {3, "pw", E::Unsupported},
        {4, "pw", E::Damaged},
        {0, "pw", E::Ok},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, zipper.CopyEntryFrom(source, c.entry, KeptPassword(c.sourcePassword)))
            << c.entry << " " << c.sourcePassword.value_or("(none)");
    }
    ASSERT_EQ(1, zipper.Close());
    EXPECT_EQ(E::WriteFailed, zipper.CopyEntryFrom(source, 0, KeptPassword("pw")));

    CUnzipper copy(target);
    copy.SetPassword(KeptPassword("new"));
    ASSERT_EQ(1, copy.EntryCount());
    EXPECT_EQ("short text\n", Content(copy, 0));
}

} // namespace
} // namespace lumora
