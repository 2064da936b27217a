// SPDX-License-Identifier: GPL-2.0-or-later
// Payloads of carriers written by an independent implementation decrypt to their zip
// archives, whose entries Python's zipfile reads with the password.
#include "CryptTestUtil.h"
#include "crypt/PayloadCrypt.h"
#include "platform/ByteOrder.h"
#include "support/ReferenceCarriers.h"
#include "support/ShellCommand.h"
#include "support/TestFiles.h"

#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace lumora;
using namespace lumora::test;

namespace {

// Cuts the stored payload out of a carrier: the trailer is the last 60 bytes, with the
// payload length at offset 48 and the image length at 52.
std::vector<uint8_t> StoredPayload(const std::string& carrier) {
    const auto bytes = ReadFile(carrier);
    EXPECT_GE(bytes.size(), 60u);
    if (bytes.size() < 60)
        return {};
    const size_t trailer = bytes.size() - 60;
    const auto payloadLength = static_cast<int32_t>(LoadLe32(&bytes[trailer + 48]));
    const auto imageLength = static_cast<int32_t>(LoadLe32(&bytes[trailer + 52]));
    EXPECT_GE(payloadLength, 32);
    EXPECT_EQ(static_cast<size_t>(imageLength) + static_cast<size_t>(payloadLength), trailer);
    if (payloadLength < 0 || imageLength < 0 ||
        static_cast<size_t>(imageLength) + static_cast<size_t>(payloadLength) > trailer)
        return {};
    return std::vector<uint8_t>(bytes.begin() + imageLength,
                                bytes.begin() + imageLength + payloadLength);
}

// "name sha256" lines of every entry of a zip archive, read with the password; a
// backslash in a name is shown as the folder separator. zipfile takes an empty password
// for none, so the password is a bytes object that is never false.
std::string ZipEntries(const std::string& zip, const std::string& password) {
    const std::string script =
        "import sys,zipfile,hashlib\n"
        "class Pwd(bytes):\n"
        "    def __bool__(self): return True\n"
        "z=zipfile.ZipFile(sys.argv[1])\n"
        "for i in z.infolist():\n"
        "    d=hashlib.sha256(z.read(i,pwd=Pwd(bytes.fromhex(sys.argv[2])))).hexdigest()\n"
        "    n=i.filename.replace(chr(92),'/')\n"
        "    sys.stdout.buffer.write(n.encode()+b\" \"+d.encode()+b\"\\n\")\n";
    return CommandOutput(
        "python3 -c " + ShellQuote(script) + " " + ShellQuote(zip) + " " +
        ShellQuote(ToHex(reinterpret_cast<const uint8_t*>(password.data()), password.size())) +
        " 2>&1");
}

// "name sha256" of every entry the carrier's archive should hold.
std::vector<std::string> ExpectedEntries(const ReferenceCarrier& reference, const TempDir& dir) {
    std::vector<std::string> entries;
    for (const ReferenceHiddenFile& file : reference.files)
        entries.push_back(file.name + " " + file.sha256);
    if (!reference.message.empty()) {
        WriteText(dir / "message", MessageEntryOf(reference));
        entries.push_back("veilnote.vnt " + Sha256Hex(dir / "message"));
    }
    return entries;
}

} // namespace

TEST(ReferencePayload, DecryptsToTheZipArchiveOfTheIndependentWriter) {
    TempDir dir;
    for (const ReferenceCarrier& ref : ReferenceCarriers()) {
        SCOPED_TRACE(ref.file);
        const auto payload = StoredPayload(ReferenceFile(ref.file));
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
        const std::vector<std::string> entries = ExpectedEntries(ref, dir);
        EXPECT_EQ(lines, entries.size()) << listing;
        for (const auto& entry : entries)
            EXPECT_NE(listing.find(entry + "\n"), std::string::npos) << entry << " in\n" << listing;

        EXPECT_EQ(DecryptPayloadFile(in.c_str(), out.c_str(), Password("not the password")),
                  DecryptResult::WrongKey);
    }
}
