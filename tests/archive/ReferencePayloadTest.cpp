// SPDX-License-Identifier: GPL-2.0-or-later
// Payload archives written by an independent implementation, taken out of the reference
// carriers (offsets and digests in tests/data/reference/README.md).
#include "archive/ArchiveTestTools.h"
#include "archive/Unzipper.h"
#include "crypt/PayloadCrypt.h"
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

struct ExpectedFile {
    std::string name;
    std::string sha256;
};

// Cuts the stored payload out of a carrier and deciphers it into a payload archive.
std::string PayloadArchive(const TempDir& dir, const std::string& carrier, size_t imageLength,
                           size_t payloadLength, const std::string& password) {
    auto bytes = ReadFile(test::ReferenceFile(carrier));
    if (bytes.size() < imageLength + payloadLength)
        return "";
    std::string stored = dir / "stored.bin";
    std::string archive = dir / "payload.zip";
    test::WriteFile(stored, std::vector<uint8_t>(bytes.begin() + imageLength,
                                                 bytes.begin() + imageLength + payloadLength));
    if (DecryptPayloadFile(stored.c_str(), archive.c_str(), Password(password)) !=
        DecryptResult::Ok)
        return "";
    return archive;
}

// Every expected file is an encrypted entry that extracts to the expected bytes.
void ExpectFiles(const std::string& archive, const std::string& password,
                 const std::vector<ExpectedFile>& files, const std::string& out) {
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

TEST(ReferencePayloads, NonAsciiNamesAndPassword) {
    TempDir dir;
    std::string archive = PayloadArchive(dir, "non-ascii.bmp", 38538, 464, "pässwörd");
    ASSERT_FALSE(archive.empty());
    ExpectFiles(
        archive, "pässwörd",
        {{"naïve résumé.txt", "b1de61b8108f15d9913e0fa2e6371ed737fbe2be84e63a89ca8ae7a370322371"},
         {"日本.txt", "77710aedc74ecfa33685e33a6c7df5cc83004da1bdcef7fb280f5c2b2e97e0a5"}},
        dir / "out");
    CUnzipper unzipper(archive);
    unzipper.SetPassword(test::KeptPassword("passwörd"));
    EXPECT_EQ(0, unzipper.ExtractEntryAt(0, dir / "wrong"));
}

TEST(ReferencePayloads, BackslashNamesBecomeSubFolders) {
    TempDir dir;
    std::string archive = PayloadArchive(dir, "backslash-names.gif", 3518, 288, "pw");
    ASSERT_FALSE(archive.empty());
    ExpectFiles(
        archive, "pw",
        {{"sub/inner.txt", "33bf6fbd7cd8379785a21e233d8e09f824e7bab459168a96312c1c882c1d7e1f"},
         {"top.txt", "28720365c5e7476a011e4f43ac003ee5f16247a263b9d623aa85ed311d73bf39"}},
        dir / "out");
}

TEST(ReferencePayloads, EmptyPasswordAndMessageEntry) {
    TempDir dir;
    std::string archive = PayloadArchive(dir, "empty-password.gif", 3518, 3440, "");
    ASSERT_FALSE(archive.empty());
    ExpectFiles(archive, "",
                {{"hello.txt", "c0f09827e42c4889b05dfa30118bb7e0f6d83e182d12cc5cfee8dc60fd4437d0"},
                 {"data.bin", "4679080307ccd63e4c9cc4ab4736684dbaf39453b0becabe157509ee645d1323"}},
                dir / "out");
    // The message entry holds the text as a text-mode write left it, NUL-terminated.
    CUnzipper unzipper(archive);
    unzipper.SetPassword(test::KeptPassword(""));
    ASSERT_EQ(3, unzipper.EntryCount());
    ZipEntryInfo info;
    ASSERT_EQ(1, unzipper.EntryInfoAt(2, info));
    ASSERT_EQ("veilnote.vnt", info.name);
    ASSERT_EQ(1, unzipper.ExtractCurrentEntry(dir / "out"));
    EXPECT_EQ(std::string("Hello\r\r\nWorld", 13) + '\0', test::ReadText(dir / "out/veilnote.vnt"));
}

} // namespace
} // namespace lumora
