// SPDX-License-Identifier: GPL-2.0-or-later
// Entries copied from one archive into another: stored bytes kept while the encryption
// stays, enciphered afresh where it changes, readable by every reader afterwards.
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
using E = EntryCheck;

std::string Content(CUnzipper& unzipper, int k) {
    std::string content;
    EntryCheck check = unzipper.ReadEntryAt(k, [&](const uint8_t* data, size_t length) {
        content.append(reinterpret_cast<const char*>(data), length);
        return true;
    });
    return check == E::Ok ? content : "<not read>";
}

Bytes StoredBytes(const Bytes& archive, const ZipEntryInfo& info) {
    auto begin = archive.begin() + static_cast<long>(info.dataOffset);
    return Bytes(begin, begin + info.compressedSize);
}

class CopyEntryTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir / "src/sub");
        test::WriteText(dir / "src/short.txt", "short text\n");
        test::WriteFile(dir / "src/random.bin", test::PseudoRandomBytes(40000, 4));
        test::WriteFile(dir / "src/sub/zeros.bin", Bytes(100000, 0));
        test::WriteText(dir / "src/empty.txt", "");
        const std::string files = "short.txt random.bin sub/zeros.bin empty.txt";

        CZipper zipper(sources["ours"], dir / "src", 0);
        zipper.SetPassword(KeptPassword("pw"));
        for (const char* name : {"short.txt", "random.bin", "sub/zeros.bin", "empty.txt"})
            EXPECT_EQ(1, zipper.AddFileAs(name, name)) << name;
        EXPECT_EQ(1, zipper.AddFileAs("short.txt", "日本/naïve.txt"));
        EXPECT_EQ(1, zipper.Close());
        EXPECT_TRUE(test::MakeZipWithPython(sources["foreign"],
                                            {"win\\inner.txt", "elsewhere", "dated.txt", "when"}));
        // Info-ZIP gives every encrypted entry a data descriptor, and its entries extra fields
        // with times and owner.
        test::MakeZipWithInfoZip(sources["zip"], dir / "src", files, std::nullopt, false);
        test::MakeZipWithInfoZip(sources["zip -P"], dir / "src", files, "pw", false);
        test::MakeZipWithInfoZip(sources["zip -P, piped"], dir / "src", files, "pw", true);
    }

    test::TempDir dir;
    std::map<std::string, std::string> sources = {{"ours", dir / "ours.zip"},
                                                  {"foreign", dir / "foreign.zip"},
                                                  {"zip", dir / "zip.zip"},
                                                  {"zip -P", dir / "zip-p.zip"},
                                                  {"zip -P, piped", dir / "piped.zip"}};
};

TEST_F(CopyEntryTest, CopiesKeepBytesOrEncipherAfreshAndReadEverywhere) {
    const std::tuple<std::string, std::optional<std::string>, std::optional<std::string>, bool>
        cases[] = {
            // source, its password, the copy's password, whether the stored bytes stay
            {"ours", "pw", "pw", true},
            {"ours", "pw", "new", false},
            {"ours", "pw", std::nullopt, false},
            {"foreign", std::nullopt, std::nullopt, true},
            {"zip", std::nullopt, std::nullopt, true},
            // A data descriptor's check byte comes from the DOS time; a copy has none, so it
            // is enciphered afresh even under the same password.
            {"zip -P", "pw", "pw", false},
            {"zip -P, piped", "pw", "pw", false},
            {"zip -P, piped", "pw", std::nullopt, false},
        };
    std::map<std::string, std::vector<test::PythonEntry>> pythonSees;
    int skipped = 0;
    for (const auto& [name, from, to, keepsBytes] : cases) {
        SCOPED_TRACE(name + " from " + from.value_or("(none)") + " to " + to.value_or("(none)"));
        const std::string source = sources[name], target = dir / "copy.zip";
        if (!test::FileExists(source) && ++skipped)
            continue;
        CUnzipper original(source);
        original.SetPassword(KeptPassword(from));
        const int count = original.EntryCount();
        ASSERT_GT(count, 1);
        {
            CZipper zipper(target, std::nullopt, 0);
            zipper.SetPassword(KeptPassword(to));
            for (int k = 0; k < count; ++k)
                ASSERT_EQ(E::Ok, zipper.CopyEntryFrom(original, k, KeptPassword(from))) << k;
            ASSERT_EQ(1, zipper.Close());
        }
        CUnzipper copy(target);
        copy.SetPassword(KeptPassword(to));
        ASSERT_EQ(count, copy.EntryCount());
        const Bytes before = test::ReadFile(source), after = test::ReadFile(target);
        for (int k = 0; k < count; ++k) {
            ZipEntryInfo a, b;
            ASSERT_EQ(1, original.EntryInfoAt(k, a));
            ASSERT_EQ(1, copy.EntryInfoAt(k, b));
            SCOPED_TRACE(a.storedName);
            EXPECT_EQ(a.storedName, b.storedName);
            EXPECT_EQ((a.flags & ~9) | (to ? 1 : 0), b.flags); // no data descriptor (bit 3)
            EXPECT_EQ(std::tie(a.method, a.crc32, a.uncompressedSize, a.dosDateTime,
                               a.externalAttributes, a.versionMadeBy),
                      std::tie(b.method, b.crc32, b.uncompressedSize, b.dosDateTime,
                               b.externalAttributes, b.versionMadeBy));
            EXPECT_EQ(a.compressedSize + (b.encrypted ? 12 : 0),
                      b.compressedSize + (a.encrypted ? 12 : 0));
            EXPECT_EQ(keepsBytes, StoredBytes(before, a) == StoredBytes(after, b));
            EXPECT_TRUE(Content(original, k) == Content(copy, k)); // no dump of the data
        }
        std::string unzip = "unzip -tqq " + (to ? "-P " + ShellQuote(*to) + " " : "");
        EXPECT_EQ(0, test::RunCommand(unzip + ShellQuote(target) + " >/dev/null 2>&1 </dev/null"));
        if (!pythonSees.contains(name))
            pythonSees[name] = test::DescribeWithPython(source, from);
        auto python = test::DescribeWithPython(target, to);
        ASSERT_EQ(pythonSees[name].size(), python.size());
        for (size_t k = 0; k < python.size(); ++k) {
            const auto& a = pythonSees[name][k];
            const auto& b = python[k];
            EXPECT_EQ(
                std::tie(a.name, a.sha256, a.dateTime, a.centralExtraLength, a.localExtraLength),
                std::tie(b.name, b.sha256, b.dateTime, b.centralExtraLength, b.localExtraLength));
        }
    }
    if (skipped > 0)
        GTEST_SKIP() << "zip is not installed: " << skipped << " cases not run";
}

TEST_F(CopyEntryTest, RefusedEntriesLeaveNothingInTheCopy) {
    // short.txt, random.bin twice (overlapping), and sub/zeros.bin with method 14.
    Bytes ours = test::ReadFile(sources["ours"]);
    auto raw = test::RawEntries(ours);
    Bytes records;
    for (size_t k : {0, 1, 1, 2})
        records.insert(records.end(), ours.begin() + static_cast<long>(raw[k].central),
                       ours.begin() + static_cast<long>(raw[k].central + raw[k].centralSize));
    Bytes hostile = test::WithDirectory(ours, records, 4, false);
    test::PatchBoth(hostile, test::RawEntries(hostile)[3], 8, 14, 2);
    test::WriteFile(dir / "hostile.zip", hostile);

    const std::string wrong = test::PasswordPassing(ours, std::vector<bool>(5, false));
    CUnzipper source(dir / "hostile.zip");
    CZipper zipper(dir / "copy.zip", std::nullopt, 0);
    zipper.SetPassword(KeptPassword("new"));
    const std::tuple<int, std::optional<std::string>, EntryCheck> cases[] = {
        {0, wrong, E::WrongPassword},
        {0, std::nullopt, E::WrongPassword},
        {1, "pw", E::Damaged},
        {2, "pw", E::Damaged},
        {3, "pw", E::Unsupported},
        {4, "pw", E::Damaged},
        {0, "pw", E::Ok}};
    for (const auto& [k, password, expected] : cases)
        EXPECT_EQ(test::Code(expected),
                  test::Code(zipper.CopyEntryFrom(source, k, KeptPassword(password))))
            << k;
    ASSERT_EQ(1, zipper.Close());
    EXPECT_EQ('F', test::Code(zipper.CopyEntryFrom(source, 0, KeptPassword("pw"))));

    CUnzipper copy(dir / "copy.zip");
    copy.SetPassword(KeptPassword("new"));
    ASSERT_EQ(1, copy.EntryCount());
    EXPECT_EQ("short text\n", Content(copy, 0));
}

} // namespace
} // namespace lumora
