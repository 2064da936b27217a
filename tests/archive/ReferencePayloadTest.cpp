// SPDX-License-Identifier: GPL-2.0-or-later
// Payload archives written by an independent implementation, taken out of the reference
// carriers (what they hold: tests/support/ReferenceCarriers.h).
#include "archive/ArchiveTestTools.h"
#include "archive/Unzipper.h"
#include "crypt/PayloadCrypt.h"
#include "support/ReferenceCarriers.h"
#include "support/TestFiles.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace lumora {
namespace {

using test::ReadFile;
using test::Sha256Hex;
using test::TempDir;

constexpr int kFlagEncrypted = 1;
constexpr int kFlagUtf8Name = 1 << 11;

using test::MessageEntryOf;
using test::ReferenceCarrier;
using test::ReferenceCarrierNamed;
using test::ReferenceHiddenFile;

// Cuts the stored payload out of a carrier and deciphers it into a payload archive.
std::string PayloadArchive(const TempDir& dir, const ReferenceCarrier& reference) {
    const auto imageLength = static_cast<size_t>(reference.numbers.imageLength);
    const auto payloadLength = static_cast<size_t>(reference.numbers.payloadLength);
    auto bytes = ReadFile(test::ReferenceFile(reference.file));
    if (bytes.size() < imageLength + payloadLength)
        return "";
    std::string stored = dir / "stored.bin";
    std::string archive = dir / "payload.zip";
    test::WriteFile(stored, std::vector<uint8_t>(bytes.begin() + imageLength,
                                                 bytes.begin() + imageLength + payloadLength));
    if (DecryptPayloadFile(stored.c_str(), archive.c_str(), Password(reference.password)) !=
        DecryptResult::Ok)
        return "";
    return archive;
}

// Every expected file is an encrypted entry that extracts to the expected bytes.
void ExpectFiles(const std::string& archive, const std::string& password,
                 const std::vector<ReferenceHiddenFile>& files, const std::string& out) {
    CUnzipper unzipper(archive);
    unzipper.SetPassword(test::KeptPassword(password));
    for (const auto& file : files) {
        SCOPED_TRACE(file.name);
        bool found = false;
        for (int k = 0; k < unzipper.EntryCount(); ++k) {
            ZipEntryInfo info;
            ASSERT_EQ(1, unzipper.EntryInfoAt(k, info));
            if (info.name != file.name)
                continue;
            found = true;
            EXPECT_NE(0, info.flags & kFlagEncrypted);
            bool ascii = std::all_of(file.name.begin(), file.name.end(),
                                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
            EXPECT_EQ(!ascii, (info.flags & kFlagUtf8Name) != 0);
            ASSERT_EQ(1, unzipper.ExtractCurrentEntry(out));
            EXPECT_EQ(file.sha256, Sha256Hex(out + "/" + file.name));
        }
        EXPECT_TRUE(found);
    }
}

class ReferencePayloads : public ::testing::TestWithParam<ReferenceCarrier> {};

TEST_P(ReferencePayloads, HoldEveryFileAndTheMessageLast) {
    const ReferenceCarrier& reference = GetParam();
    TempDir dir;
    const std::string archive = PayloadArchive(dir, reference);
    ASSERT_FALSE(archive.empty());
    ExpectFiles(archive, reference.password, reference.files, dir / "out");

    CUnzipper unzipper(archive);
    unzipper.SetPassword(test::KeptPassword(reference.password));
    const auto files = static_cast<int>(reference.files.size());
    if (reference.message.empty()) {
        EXPECT_EQ(files, unzipper.EntryCount());
        return;
    }
    ASSERT_EQ(files + 1, unzipper.EntryCount());
    ZipEntryInfo info;
    ASSERT_EQ(1, unzipper.EntryInfoAt(files, info));
    ASSERT_EQ("veilnote.vnt", info.name);
    ASSERT_EQ(1, unzipper.ExtractCurrentEntry(dir / "out"));
    EXPECT_EQ(MessageEntryOf(reference), test::ReadText(dir / "out/veilnote.vnt"));
}

INSTANTIATE_TEST_SUITE_P(Carriers, ReferencePayloads,
                         ::testing::ValuesIn(test::ReferenceCarriers()),
                         [](const auto& test) { return test::TestNameOf(test.param); });

TEST(ReferencePayload, ANonAsciiPasswordMustMatchEveryByte) {
    TempDir dir;
    const ReferenceCarrier& reference = ReferenceCarrierNamed("non-ascii.bmp");
    const std::string archive = PayloadArchive(dir, reference);
    ASSERT_FALSE(archive.empty());
    std::string wrong = reference.password;
    const auto nonAscii = std::ranges::find_if(wrong, [](char c) { return c & 0x80; });
    ASSERT_NE(nonAscii, wrong.end());
    *nonAscii ^= 1;
    CUnzipper unzipper(archive);
    unzipper.SetPassword(test::KeptPassword(wrong));
    EXPECT_EQ(0, unzipper.ExtractEntryAt(0, dir / "wrong"));
}

} // namespace
} // namespace lumora
