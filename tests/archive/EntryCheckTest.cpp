// SPDX-License-Identifier: GPL-2.0-or-later
// Typed checks of entries: what each kind of damage, hostile directory or password gives,
// and data that inflates far beyond its compressed size.
#include "archive/ArchiveTestTools.h"
#include "archive/ArchiveUtil.h"
#include "archive/Unzipper.h"
#include "archive/ZipBytes.h"
#include "archive/Zipper.h"
#include "support/TestFiles.h"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

namespace lumora {
namespace {

using test::Bytes;
using test::KeptPassword;
using test::PasswordPassing;
using test::TempDir;
using E = EntryCheck;

const char* Text(EntryCheck check) {
    switch (check) {
    case E::Ok:
        return "Ok";
    case E::WrongPassword:
        return "WrongPassword";
    case E::Damaged:
        return "Damaged";
    case E::Unsupported:
        return "Unsupported";
    case E::Cancelled:
        return "Cancelled";
    case E::WriteFailed:
        return "WriteFailed";
    }
    return "?";
}

std::vector<std::string> Texts(const std::vector<EntryCheck>& checks) {
    std::vector<std::string> texts;
    for (EntryCheck check : checks)
        texts.push_back(Text(check));
    return texts;
}

class EntryCheckTest : public ::testing::Test {
protected:
    // Three entries under "pw": a short text, 400000 zero bytes and 30000 random bytes.
    void SetUp() override {
        test::WriteText(dir / "one.txt", "first file text");
        test::WriteFile(dir / "zeros.bin", Bytes(400000, 0));
        test::WriteFile(dir / "random.bin", test::PseudoRandomBytes(30000, 9));
        std::string archive = dir / "good.zip";
        CZipper zipper(archive, std::nullopt, 0);
        zipper.SetPassword(KeptPassword("pw"));
        for (const char* name : {"one.txt", "zeros.bin", "random.bin"})
            EXPECT_EQ(1, zipper.AddFile(dir / name, false)) << name;
        EXPECT_EQ(1, zipper.Close());
        good = test::ReadFile(archive);
    }

    std::string Write(const Bytes& bytes) {
        std::string path = dir / ("case" + std::to_string(++written) + ".zip");
        test::WriteFile(path, bytes);
        return path;
    }

    TempDir dir;
    Bytes good;
    int written = 0;
};

TEST_F(EntryCheckTest, LongRunsOfOneByteComeBackWhole) {
    struct Run {
        uint8_t byte;
        size_t size;
        std::optional<std::string> password;
    };
    const Run runs[] = {
        {0, 385084, "pw"},         {0, 385084, std::nullopt}, {0, (1u << 20) + 1, "pw"},
        {'x', (3u << 20) + 7, ""}, {'a', 60u << 20, "pw"},    {0, 1, "pw"},
    };
    for (const Run& run : runs) {
        SCOPED_TRACE(std::to_string(run.size) + " bytes of " + std::to_string(run.byte) +
                     (run.password ? " with a password" : " without a password"));
        std::string source = dir / "run.bin";
        {
            Bytes chunk(1u << 20, run.byte);
            FILE* out = std::fopen(source.c_str(), "wb");
            ASSERT_NE(nullptr, out);
            for (size_t left = run.size; left > 0; left -= std::min(left, chunk.size()))
                ASSERT_EQ(std::min(left, chunk.size()),
                          std::fwrite(chunk.data(), 1, std::min(left, chunk.size()), out));
            ASSERT_EQ(0, std::fclose(out));
        }
        std::string archive = dir / "run.zip";
        CZipper zipper(archive, std::nullopt, 0);
        zipper.SetPassword(KeptPassword(run.password));
        ASSERT_EQ(1, zipper.AddFile(source, false));
        ASSERT_EQ(1, zipper.Close());

        CUnzipper unzipper(archive);
        unzipper.SetPassword(KeptPassword(run.password));
        EXPECT_EQ("Ok", std::string(Text(unzipper.VerifyEntryAt(0))));
        size_t total = 0;
        bool same = true;
        auto sink = [&](const uint8_t* data, size_t length) {
            for (size_t i = 0; i < length; ++i)
                same = same && data[i] == run.byte;
            total += length;
            return true;
        };
        EXPECT_EQ("Ok", std::string(Text(unzipper.ReadEntryAt(0, sink))));
        EXPECT_EQ(run.size, total);
        EXPECT_TRUE(same);
        ASSERT_EQ(1, unzipper.ExtractEntryAt(0, dir / "out"));
        EXPECT_EQ(run.size, std::filesystem::file_size(dir / "out/run.bin"));
        std::filesystem::remove_all(dir / "out");
    }
}

TEST_F(EntryCheckTest, HostileAndDamagedArchivesGiveTheirCheckAtOnce) {
    auto raw = test::RawEntries(good);
    ASSERT_EQ(3u, raw.size());
    // The directory records of the entries listed, in that order.
    auto records = [&](std::vector<size_t> entries) {
        Bytes all;
        for (size_t k : entries)
            all.insert(all.end(), good.begin() + static_cast<long>(raw[k].central),
                       good.begin() + static_cast<long>(raw[k].central + raw[k].centralSize));
        return all;
    };
    auto patched = [&](std::function<void(Bytes&)> patch) {
        Bytes bytes = good;
        patch(bytes);
        return bytes;
    };
    const uint32_t randomCrc = test::Get32(good, raw[2].central + 16);

    struct Case {
        const char* what;
        Bytes archive;
        int count;
        bool complete;
        std::vector<EntryCheck> verify;        // VerifyEntryAt under "pw"
        std::vector<EntryCheck> passwordCheck; // CheckEntryPasswordAt under "pw"
    };
    const std::vector<EntryCheck> ok3 = {E::Ok, E::Ok, E::Ok};
    const Case cases[] = {
        {"intact", good, 3, true, ok3, ok3},
        {"zip64 end record claims 2^31-1 entries", test::WithZip64Count(good, 0x7FFFFFFF), 3, false,
         ok3, ok3},
        {"zip64 end record claims 2^64-1 entries", test::WithZip64Count(good, UINT64_MAX), 3, false,
         ok3, ok3},
        {"end record claims 65000 entries", patched([&](Bytes& b) {
             test::Put16(b, b.size() - 14, 65000);
             test::Put16(b, b.size() - 12, 65000);
         }),
         3, false, ok3, ok3},
        {"100 records of the zeros entry",
         test::WithDirectory(good, records(std::vector<size_t>(100, 1)), 100), 100, true,
         std::vector<EntryCheck>(100, E::Damaged), std::vector<EntryCheck>(100, E::Damaged)},
        {"two records of one entry among others",
         test::WithDirectory(good, records({0, 1, 1, 2}), 4),
         4,
         true,
         {E::Ok, E::Damaged, E::Damaged, E::Ok},
         {E::Ok, E::Damaged, E::Damaged, E::Ok}},
        {"the first entry's sizes reach into the second",
         patched([&](Bytes& b) {
             test::PatchBoth32(b, raw[0], 18, static_cast<uint32_t>(raw[1].data - raw[0].data + 9));
         }),
         3,
         true,
         {E::Damaged, E::Damaged, E::Ok},
         {E::Damaged, E::Damaged, E::Ok}},
        {"the zeros' deflate data cut short",
         patched([&](Bytes& b) {
             test::PatchBoth32(b, raw[1], 18, static_cast<uint32_t>(raw[1].compressedSize / 2));
         }),
         3,
         true,
         {E::Ok, E::Damaged, E::Ok},
         ok3},
        {"a flipped byte in the zeros' data",
         patched([&](Bytes& b) { b[raw[1].data + 20] ^= 0x10; }),
         3,
         true,
         {E::Ok, E::Damaged, E::Ok},
         ok3},
        {"a wrong CRC below its check byte",
         patched([&](Bytes& b) { test::PatchBoth32(b, raw[2], 14, randomCrc ^ 1); }),
         3,
         true,
         {E::Ok, E::Ok, E::Damaged},
         ok3},
        // Damage to the CRC's high byte cannot be told from a wrong password.
        {"a wrong CRC in its check byte",
         patched([&](Bytes& b) { test::PatchBoth32(b, raw[2], 14, randomCrc ^ 0x01000000); }),
         3,
         true,
         {E::Ok, E::Ok, E::WrongPassword},
         {E::Ok, E::Ok, E::WrongPassword}},
        {"declared size smaller than the data",
         patched([&](Bytes& b) { test::PatchBoth32(b, raw[1], 22, 1000); }),
         3,
         true,
         {E::Ok, E::Damaged, E::Ok},
         ok3},
        {"declared size larger than the data",
         patched([&](Bytes& b) { test::PatchBoth32(b, raw[1], 22, 400001); }),
         3,
         true,
         {E::Ok, E::Damaged, E::Ok},
         ok3},
        {"local header of the zeros gone",
         patched([&](Bytes& b) { test::Put32(b, raw[1].local, 0); }),
         3,
         true,
         {E::Ok, E::Damaged, E::Ok},
         {E::Ok, E::Damaged, E::Ok}},
        {"method 14 (LZMA)",
         patched([&](Bytes& b) { test::PatchBoth16(b, raw[0], 8, 14); }),
         3,
         true,
         {E::Unsupported, E::Ok, E::Ok},
         {E::Unsupported, E::Ok, E::Ok}},
        {"strong encryption",
         patched([&](Bytes& b) {
             test::PatchBoth16(b, raw[2], 6, test::Get16(b, raw[2].local + 6) | 0x40);
         }),
         3,
         true,
         {E::Ok, E::Ok, E::Unsupported},
         {E::Ok, E::Ok, E::Unsupported}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string path = Write(c.archive);
        CUnzipper unzipper;
        ASSERT_EQ(E::Ok, unzipper.OpenChecked(path));
        unzipper.SetPassword(KeptPassword("pw"));
        ASSERT_EQ(c.count, unzipper.EntryCount());
        EXPECT_EQ(c.complete, unzipper.DirectoryComplete());
        std::vector<EntryCheck> verify, passwordCheck;
        std::string out = dir / ("out" + std::to_string(written));
        for (int k = 0; k < c.count; ++k) {
            ZipEntryInfo info;
            ASSERT_EQ(1, unzipper.EntryInfoAt(k, info));
            uint64_t handedOn = 0;
            verify.push_back(unzipper.ReadEntryAt(k, [&](const uint8_t*, size_t length) {
                handedOn += length;
                return true;
            }));
            EXPECT_LE(handedOn, info.uncompressedSize) << k;
            passwordCheck.push_back(unzipper.CheckEntryPasswordAt(k));
            EXPECT_EQ(verify.back(), unzipper.VerifyEntryAt(k)) << k;
            // Only what passes its check is extracted.
            EXPECT_EQ(verify.back() == E::Ok, unzipper.ExtractEntryAt(k, out) == 1) << k;
        }
        EXPECT_EQ(Texts(c.verify), Texts(verify));
        EXPECT_EQ(Texts(c.passwordCheck), Texts(passwordCheck));
    }
}

TEST_F(EntryCheckTest, OnlyAFailedCheckByteIsAWrongPassword) {
    std::vector<std::string> names = {"one.txt", "zeros.bin", "random.bin"};
    auto build = [&](const std::string& archive, const std::optional<std::string>& password) {
        CZipper zipper(archive, dir.Path(), 0);
        zipper.SetPassword(KeptPassword(password));
        for (const auto& name : names)
            EXPECT_EQ(1, zipper.AddFile(name, false)) << name;
        EXPECT_EQ(1, zipper.Close());
        return test::ReadFile(archive);
    };
    Bytes plain = build(dir / "plain.zip", std::nullopt);
    // Info-ZIP streams to a pipe with data descriptors and takes the check byte from the time.
    Bytes piped;
    if (test::HaveTool("zip")) {
        std::string command = "cd " + test::ShellQuote(dir.Path()) + " && zip -q -9 -P pw - " +
                              "one.txt zeros.bin random.bin > piped.zip 2>/dev/null";
        EXPECT_EQ(0, test::RunCommand(command));
        piped = test::ReadFile(dir / "piped.zip");
    }
    const std::string failing = PasswordPassing(good, {false, false, false});
    // Passes the random entry's check byte only; its data then fail their CRC.
    const std::string lucky = PasswordPassing(good, {false, false, true});
    ASSERT_FALSE(failing.empty());
    ASSERT_FALSE(lucky.empty());

    struct Case {
        const char* what;
        const Bytes* archive;
        std::optional<std::string> password;
        std::vector<EntryCheck> passwordCheck;
        std::vector<EntryCheck> verify;
    };
    const std::vector<EntryCheck> ok3 = {E::Ok, E::Ok, E::Ok};
    const std::vector<EntryCheck> wrong3 = {E::WrongPassword, E::WrongPassword, E::WrongPassword};
    const Case cases[] = {
        {"the right password", &good, "pw", ok3, ok3},
        {"a wrong password", &good, failing, wrong3, wrong3},
        {"no password", &good, std::nullopt, wrong3, wrong3},
        {"a wrong password that passes one check byte",
         &good,
         lucky,
         {E::WrongPassword, E::WrongPassword, E::Ok},
         {E::WrongPassword, E::WrongPassword, E::Damaged}},
        {"entries that are not encrypted", &plain, "any", ok3, ok3},
    };
    std::vector<Case> all(std::begin(cases), std::end(cases));
    if (!piped.empty()) {
        all.push_back({"piped entries, the right password", &piped, "pw", ok3, ok3});
        all.push_back({"piped entries, a wrong password", &piped,
                       PasswordPassing(piped, {false, false, false}), wrong3, wrong3});
    }
    for (const Case& c : all) {
        SCOPED_TRACE(c.what);
        CUnzipper unzipper;
        ASSERT_EQ(E::Ok, unzipper.OpenChecked(Write(*c.archive)));
        unzipper.SetPassword(KeptPassword(c.password));
        ASSERT_EQ(3, unzipper.EntryCount());
        std::vector<EntryCheck> passwordCheck, verify;
        for (int k = 0; k < 3; ++k) {
            ZipEntryInfo info;
            ASSERT_EQ(1, unzipper.EntryInfoAt(k, info));
            EXPECT_EQ(names[static_cast<size_t>(k)], info.name);
            EXPECT_EQ(c.archive == &piped, info.dataDescriptor);
            EXPECT_EQ(c.archive != &plain, info.encrypted);
            passwordCheck.push_back(unzipper.CheckEntryPasswordAt(k));
            verify.push_back(unzipper.VerifyEntryAt(k));
        }
        EXPECT_EQ(Texts(c.passwordCheck), Texts(passwordCheck));
        EXPECT_EQ(Texts(c.verify), Texts(verify));
    }
    if (piped.empty())
        GTEST_SKIP() << "zip is not installed: entries with data descriptors were not checked";
}

TEST_F(EntryCheckTest, ReadingAndOpeningCanBeCancelled) {
    std::string path = Write(good);
    struct Case {
        const char* what;
        ArchiveProgress progress;
        bool sinkAccepts;
        size_t blocks; // handed to the sink before the reading stops
    };
    const Case cases[] = {
        {"the sink refuses", nullptr, false, 1},
        {"progress refuses the third block", [](uint64_t done) { return done < 3 * 2048; }, true,
         3},
        {"progress throws", [](uint64_t) -> bool { throw std::runtime_error("stop"); }, true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CUnzipper unzipper(path);
        unzipper.SetPassword(KeptPassword("pw"));
        unzipper.SetProgress(c.progress);
        size_t blocks = 0;
        auto sink = [&](const uint8_t*, size_t) {
            ++blocks;
            return c.sinkAccepts;
        };
        EXPECT_EQ("Cancelled", std::string(Text(unzipper.ReadEntryAt(1, sink))));
        EXPECT_EQ(c.blocks, blocks);
        // An extraction stopped by its progress leaves nothing behind.
        if (c.progress) {
            EXPECT_EQ(0, unzipper.ExtractEntryAt(1, dir / "out"));
            EXPECT_FALSE(test::FileExists(dir / "out/zeros.bin"));
        }
    }

    // Opening reports every 1024 directory records and stops when told to.
    std::string many = dir / "many.zip";
    {
        CZipper zipper(many, std::nullopt, 0);
        const uint8_t byte = 'x';
        for (int i = 0; i < 1100; ++i)
            ASSERT_EQ(1, zipper.AddBytesAs("f" + std::to_string(i), &byte, 1));
        ASSERT_EQ(1, zipper.Close());
    }
    std::vector<uint64_t> reports;
    CUnzipper unzipper;
    unzipper.SetProgress([&](uint64_t done) {
        reports.push_back(done);
        return reports.size() > 1;
    });
    EXPECT_EQ(E::Cancelled, unzipper.OpenChecked(many));
    EXPECT_EQ(0, unzipper.EntryCount());
    EXPECT_EQ(E::Ok, unzipper.OpenChecked(many));
    EXPECT_EQ(1100, unzipper.EntryCount());
    ASSERT_EQ(2u, reports.size());
    EXPECT_EQ(reports[0], reports[1]);
    EXPECT_GE(reports[0], 1023u * 46);
}

TEST_F(EntryCheckTest, EntryInfoGivesStoredNamesAndWhereEntriesLie) {
    std::string foreign = dir / "foreign.zip";
    ASSERT_TRUE(test::MakeZipWithPython(foreign, {"win\\inner.txt", "six", "plain.txt", "7"}));
    CUnzipper unzipper(foreign);
    ZipEntryInfo info;
    ASSERT_EQ(1, unzipper.EntryInfoAt(0, info));
    EXPECT_EQ("win\\inner.txt", info.storedName);
    EXPECT_EQ("win/inner.txt", info.name);
    EXPECT_FALSE(info.encrypted);

    auto raw = test::RawEntries(good);
    ASSERT_EQ(E::Ok, unzipper.OpenChecked(Write(good)));
    for (int k = 0; k < 3; ++k) {
        ASSERT_EQ(1, unzipper.EntryInfoAt(k, info));
        EXPECT_EQ(raw[static_cast<size_t>(k)].local, info.localHeaderOffset) << k;
        EXPECT_EQ(raw[static_cast<size_t>(k)].data, info.dataOffset) << k;
        EXPECT_EQ(E::Ok, info.layout) << k;
        EXPECT_TRUE(info.encrypted);
        EXPECT_FALSE(info.dataDescriptor);
    }
}

} // namespace
} // namespace lumora
