// SPDX-License-Identifier: GPL-2.0-or-later
// Payloads of carriers written by an independent implementation decrypt to their zip
// archives, whose entries Python's zipfile reads with the password.
#include "CryptTestUtil.h"
#include "crypt/PayloadCrypt.h"
#include "support/TestFiles.h"

#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace lumora;
using namespace lumora::test;

namespace {

int32_t LittleEndian32(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<int32_t>(uint32_t{bytes[at]} | (uint32_t{bytes[at + 1]} << 8) |
                                (uint32_t{bytes[at + 2]} << 16) | (uint32_t{bytes[at + 3]} << 24));
}

// Cuts the stored payload out of a carrier: the trailer is the last 60 bytes, with the
// payload length at offset 48 and the image length at 52.
std::vector<uint8_t> StoredPayload(const std::string& carrier) {
    const auto bytes = ReadFile(carrier);
    EXPECT_GE(bytes.size(), 60u);
    if (bytes.size() < 60)
        return {};
    const size_t trailer = bytes.size() - 60;
    const int32_t payloadLength = LittleEndian32(bytes, trailer + 48);
    const int32_t imageLength = LittleEndian32(bytes, trailer + 52);
    EXPECT_GE(payloadLength, 32);
    EXPECT_EQ(static_cast<size_t>(imageLength) + static_cast<size_t>(payloadLength), trailer);
    if (payloadLength < 0 || imageLength < 0 ||
        static_cast<size_t>(imageLength) + static_cast<size_t>(payloadLength) > trailer)
        return {};
    return std::vector<uint8_t>(bytes.begin() + imageLength,
                                bytes.begin() + imageLength + payloadLength);
}

// "name sha256" lines of every entry of a zip archive, read with the password. zipfile
// takes an empty password for none, so the password is a bytes object that is never false.
std::string ZipEntries(const std::string& zip, const std::string& password) {
    const std::string script =
        "import sys,zipfile,hashlib\n"
        "class Pwd(bytes):\n"
        "    def __bool__(self): return True\n"
        "z=zipfile.ZipFile(sys.argv[1])\n"
        "for i in z.infolist():\n"
        "    d=hashlib.sha256(z.read(i,pwd=Pwd(bytes.fromhex(sys.argv[2])))).hexdigest()\n"
        "    sys.stdout.buffer.write(i.filename.encode()+b\" \"+d.encode()+b\"\\n\")\n";
    const std::string command =
        "python3 -c '" + script + "' '" + zip + "' '" +
        ToHex(reinterpret_cast<const uint8_t*>(password.data()), password.size()) + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return "(cannot run python3)";
    std::string output;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr)
        output += line;
    ::pclose(pipe);
    return output;
}

struct Reference {
    const char* carrier;
    const char* password;
    std::vector<std::string> entries; // "name sha256" of every entry
};

} // namespace

TEST(ReferencePayload, DecryptsToTheZipArchiveOfTheIndependentWriter) {
    // The message entry holds the stored message with each CR LF written as CR CR LF,
    // then one NUL byte.
    const Reference references[] = {
        {"empty-password.gif",
         "",
         {"hello.txt c0f09827e42c4889b05dfa30118bb7e0f6d83e182d12cc5cfee8dc60fd4437d0",
          "data.bin 4679080307ccd63e4c9cc4ab4736684dbaf39453b0becabe157509ee645d1323",
          "veilnote.vnt 4133af2c0e9df1d1fde96a6690f2fb58f7f9fe5fce15cc492c670fae0af77b0a"}},
        {"long-password.jpg",
         "0123456789abcdefghijklmnopqrstuvwxyz!?",
         {"a.bin 57c478928df5d1512073d6c3a820dff5240a73ec974606f9a089f4d4de2d681a",
          "b.txt 6d2fe32dc4249ef7e7359c6d874fffbbf335e832e49a2681236e1b686af78794",
          "veilnote.vnt 6449e4249c37a2ac618632fd6fa8a8cf17739061508518e53087c3076235d377"}},
        {"zero-check-record.png",
         "correct horse battery staple",
         {"notes.txt 9996c6ce010214f8f053277bb2fac42e1f7a9463af2c9e87457747e4985acdb3"}},
        {"non-ascii.bmp",
         "pässwörd",
         {"naïve résumé.txt b1de61b8108f15d9913e0fa2e6371ed737fbe2be84e63a89ca8ae7a370322371",
          "日本.txt 77710aedc74ecfa33685e33a6c7df5cc83004da1bdcef7fb280f5c2b2e97e0a5",
          "veilnote.vnt fc7e280df4fecba25d2c32249e0eac055f40018071c516dd9858d6b9494af4bf"}},
    };
    TempDir dir;
    for (const auto& ref : references) {
        SCOPED_TRACE(ref.carrier);
        const auto payload = StoredPayload(ReferenceFile(ref.carrier));
        ASSERT_FALSE(payload.empty());
        WriteFile(dir / "payload", payload);
        const std::string in = dir / "payload", out = dir / "archive.zip";
        ASSERT_TRUE(DecryptPayloadFile(in.c_str(), out.c_str(), Password(ref.password)) ==
                    DecryptResult::Ok);
        const auto archive = ReadFile(out);
        EXPECT_EQ(archive.size(), payload.size() - 32);
        ASSERT_GE(archive.size(), 4u);
        EXPECT_EQ(std::memcmp(archive.data(), "PK\x03\x04", 4), 0);

        const std::string listing = ZipEntries(out, ref.password);
        size_t lines = 0;
        for (char c : listing)
            lines += c == '\n' ? 1 : 0;
        EXPECT_EQ(lines, ref.entries.size()) << listing;
        for (const auto& entry : ref.entries)
            EXPECT_NE(listing.find(entry + "\n"), std::string::npos) << entry << " in\n" << listing;

        EXPECT_EQ(DecryptPayloadFile(in.c_str(), out.c_str(), Password("not the password")),
                  DecryptResult::WrongKey);
    }
}
