// SPDX-License-Identifier: GPL-2.0-or-later
// Typed checks of entries: what each kind of damage, hostile directory or password gives,
// and data that inflate far beyond their compressed size.
#include "archive/ArchiveTestTools.h"
#include "archive/Unzipper.h"
#include "archive/ZipBytes.h"
#include "archive/Zipper.h"
#include "support/TestFiles.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

namespace lumora {
namespace {

using test::Bytes;
using test::KeptPassword;
using test::PasswordPassing;
using E = EntryCheck;

class EntryCheckTest : public ::testing::Test {
protected:
    // Three entries: a short text, 400000 zero bytes and 30000 random bytes.
    void SetUp() override {
        test::WriteText(dir / "one.txt", "first file text");
        test::WriteFile(dir / "zeros.bin", Bytes(400000, 0));
        test::WriteFile(dir / "random.bin", test::PseudoRandomBytes(30000, 9));
        good = Build("good.zip", "pw");
    }

    Bytes Build(const std::string& name, const std::optional<std::string>& password) {
        CZipper zipper(dir / name, dir.Path(), 0);
        zipper.SetPassword(KeptPassword(password));
        for (const char* file : {"one.txt", "zeros.bin", "random.bin"})
            EXPECT_EQ(1, zipper.AddFile(file, false)) << file;
        EXPECT_EQ(1, zipper.Close());
        return test::ReadFile(dir / name);
    }

    std::string Write(const Bytes& bytes) {
        std::string path = dir / ("case" + std::to_string(++written) + ".zip");
        test::WriteFile(path, bytes);
        return path;
    }

    test::TempDir dir;
    Bytes good;
    int written = 0;
};

TEST_F(EntryCheckTest, LongRunsOfOneByteComeBackWhole) {
    const std::tuple<uint8_t, size_t, std::optional<std::string>> runs[] = {
        {0, 385084, "pw"},
        {0, (1u << 20) + 1, std::nullopt},
        {'x', (3u << 20) + 7, ""},
        {'a', 60u << 20, "pw"}};
    for (const auto& [byte, size, password] : runs) {
        SCOPED_TRACE(std::to_string(size) + " bytes " + std::to_string(byte));
        test::WriteFile(dir / "run.bin", Bytes(size, byte));
        CZipper zipper(dir / "run.zip", std::nullopt, 0);
        zipper.SetPassword(KeptPassword(password));
        ASSERT_EQ(1, zipper.AddFile(dir / "run.bin", false));
        ASSERT_EQ(1, zipper.Close());

        CUnzipper unzipper(dir / "run.zip");
        unzipper.SetPassword(KeptPassword(password));
        size_t total = 0;
        bool same = true;
        auto sink = [&](const uint8_t* data, size_t length) {
            same = same && std::all_of(data, data + length, [&](uint8_t b) { return b == byte; });
            total += length;
            return true;
        };
        EXPECT_EQ(E::Ok, unzipper.ReadEntryAt(0, sink));
        EXPECT_EQ(size, total);
        EXPECT_TRUE(same);
        EXPECT_EQ(1, unzipper.ExtractEntryAt(0, dir / "out"));
        EXPECT_EQ(test::ReadFile(dir / "run.bin"), test::ReadFile(dir / "out/run.bin"));
    }
}

TEST_F(EntryCheckTest, HostileDamagedAndWrongPasswordsGiveTheirCheck) {
    const auto raw = test::RawEntries(good);
    auto records = [&](std::vector<size_t> entries) {
        Bytes all;
        for (size_t k : entries)
            all.insert(all.end(), good.begin() + static_cast<long>(raw[k].central),
                       good.begin() + static_cast<long>(raw[k].central + raw[k].centralSize));
        return all;
    };
    auto patched = [&](size_t k, size_t field, std::function<uint32_t(uint32_t)> change) {
        Bytes bytes = good;
        int width = field < 14 ? 2 : 4;
        test::PatchBoth(bytes, raw[k], field, change(test::Get(good, raw[k].local + field, width)),
                        width);
        return bytes;
    };
    Bytes noLocalHeader = good, claims65000 = good;
    test::Put(noLocalHeader, raw[1].local, 0, 4);
    test::Put(claims65000, good.size() - 14, 65000, 2);
    test::Put(claims65000, good.size() - 12, 65000, 2);
    const auto intoNext = static_cast<uint32_t>(raw[1].data - raw[0].data + 9);
    const Bytes plain = Build("plain.zip", std::nullopt);
    // Info-ZIP streams to a pipe with data descriptors and takes the check byte from the time.
    Bytes piped;
    if (test::MakeZipWithInfoZip(dir / "piped.zip", dir.Path(), "one.txt zeros.bin random.bin",
                                 "pw", true))
        piped = test::ReadFile(dir / "piped.zip");

    struct Case {
        const char* what;
        Bytes archive;
        std::optional<std::string> password;
        bool complete;
        std::string verify;        // Code of VerifyEntryAt for each entry
        std::string passwordCheck; // Code of CheckEntryPasswordAt for each entry
    };
    std::vector<Case> cases = {
        {"intact", good, "pw", true, "OOO", "OOO"},
        {"zip64 claims 2^31-1 entries",
         test::WithDirectory(good, records({0, 1, 2}), 0x7FFFFFFF, true), "pw", false, "OOO",
         "OOO"},
        {"claims 65000 entries", claims65000, "pw", false, "OOO", "OOO"},
        {"100 records of one entry",
         test::WithDirectory(good, records(std::vector<size_t>(100, 1)), 100, false), "pw", true,
         std::string(100, 'D'), std::string(100, 'D')},
        {"two records of one entry", test::WithDirectory(good, records({0, 1, 1, 2}), 4, false),
         "pw", true, "ODDO", "ODDO"},
        {"sizes reach into the next entry", patched(0, 18, [&](uint32_t) { return intoNext; }),
         "pw", true, "DDO", "DDO"},
        {"deflate data cut short", patched(1, 18, [](uint32_t v) { return v / 2; }), "pw", true,
         "ODO", "OOO"},
        {"CRC wrong below its check byte", patched(1, 14, [](uint32_t v) { return v ^ 1; }), "pw",
         true, "ODO", "OOO"},
        // Damage to the CRC's high byte cannot be told from a wrong password.
        {"CRC wrong in its check byte", patched(1, 14, [](uint32_t v) { return v ^ (1u << 24); }),
         "pw", true, "OWO", "OWO"},
        {"declared size smaller", patched(1, 22, [](uint32_t) { return 1000; }), "pw", true, "ODO",
         "OOO"},
        {"no local header", noLocalHeader, "pw", true, "ODO", "ODO"},
        {"method 14", patched(1, 8, [](uint32_t) { return 14; }), "pw", true, "OUO", "OUO"},
        {"a wrong password", good, PasswordPassing(good, {false, false, false}), true, "WWW",
         "WWW"},
        {"no password", good, std::nullopt, true, "WWW", "WWW"},
        // One wrong password in 256 passes a check byte; the data then fail their CRC.
        {"a wrong password passing one check byte", good,
         PasswordPassing(good, {false, false, true}), true, "WWD", "WWO"},
        {"no encryption", plain, "any", true, "OOO", "OOO"},
    };
    if (!piped.empty()) {
        cases.push_back({"piped", piped, "pw", true, "OOO", "OOO"});
        cases.push_back({"piped, a wrong password", piped,
                         PasswordPassing(piped, {false, false, false}), true, "WWW", "WWW"});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CUnzipper unzipper;
        ASSERT_EQ(E::Ok, unzipper.OpenChecked(Write(c.archive)));
        unzipper.SetPassword(KeptPassword(c.password));
        ASSERT_EQ(c.verify.size(), static_cast<size_t>(unzipper.EntryCount()));
        EXPECT_EQ(c.complete, unzipper.DirectoryComplete());
        std::string verify, passwordCheck;
        for (int k = 0; k < unzipper.EntryCount(); ++k) {
            ZipEntryInfo info;
            ASSERT_EQ(1, unzipper.EntryInfoAt(k, info));
            EXPECT_EQ(c.archive == piped, info.dataDescriptor);
            uint64_t handedOn = 0;
            verify += test::Code(unzipper.ReadEntryAt(k, [&](const uint8_t*, size_t length) {
                handedOn += length;
                return true;
            }));
            EXPECT_LE(handedOn, info.uncompressedSize);
            passwordCheck += test::Code(unzipper.CheckEntryPasswordAt(k));
            // Only what passes its check is extracted.
            EXPECT_EQ(verify.back() == 'O', unzipper.ExtractEntryAt(k, dir / "out") == 1) << k;
        }
        EXPECT_EQ(c.verify, verify);
        EXPECT_EQ(c.passwordCheck, passwordCheck);
    }
    if (piped.empty())
        GTEST_SKIP() << "zip is not installed: entries with data descriptors were not checked";
}

TEST_F(EntryCheckTest, ReadingAndOpeningCanBeCancelled) {
    CUnzipper unzipper(Write(good));
    unzipper.SetPassword(KeptPassword("pw"));
    size_t blocks = 0;
    auto refuse = [&](const uint8_t*, size_t) { return ++blocks < 2; };
    EXPECT_EQ(E::Cancelled, unzipper.ReadEntryAt(1, refuse));
    EXPECT_EQ(2u, blocks);
    unzipper.SetProgress([](uint64_t done) { return done < 3 * 2048; });
    EXPECT_EQ(E::Cancelled, unzipper.VerifyEntryAt(1));

    // Opening reports every 1024 directory records and stops when told to.
    {
        CZipper zipper(dir / "many.zip", std::nullopt, 0);
        for (int i = 0; i < 1100; ++i)
            ASSERT_EQ(1, zipper.AddBytesAs("f" + std::to_string(i), good.data(), 1));
    }
    std::vector<uint64_t> reports;
    unzipper.SetProgress([&](uint64_t done) {
        reports.push_back(done);
        return reports.size() > 1;
    });
    EXPECT_EQ(E::Cancelled, unzipper.OpenChecked(dir / "many.zip"));
    EXPECT_EQ(0, unzipper.EntryCount());
    EXPECT_EQ(E::Ok, unzipper.OpenChecked(dir / "many.zip"));
    EXPECT_EQ(1100, unzipper.EntryCount());
    EXPECT_EQ(2u, reports.size());
}

} // namespace
} // namespace lumora
