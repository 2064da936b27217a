// SPDX-License-Identifier: GPL-2.0-or-later
#include "crypt/PayloadCrypt.h"
#include "CryptTestUtil.h"
#include "support/TestFiles.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

using namespace lumora;
using namespace lumora::test;

namespace {

const unsigned char kCheckText[17] = "LumoraCheck16Txt";

std::vector<uint8_t> Key(const std::string& password) {
    std::vector<uint8_t> key(32);
    MakePasswordKey(Password(password), key.data());
    return key;
}

} // namespace

TEST(PayloadCrypt, PasswordKeyIsTheFirst32BytesPaddedWithZeros) {
    auto expected = std::vector<uint8_t>(32, 0);
    EXPECT_EQ(Key(""), expected);
    std::memcpy(expected.data(), "abc", 3);
    EXPECT_EQ(Key("abc"), expected);
    EXPECT_EQ(Key(std::string("abc\0def", 7)), expected); // the key stops at a NUL
    const std::string longText = "0123456789abcdefghijklmnopqrstuvwxyz!?";
    EXPECT_EQ(Key(longText), std::vector<uint8_t>(longText.begin(), longText.begin() + 32));
}

TEST(PayloadCrypt, CheckRecordIsOneAesBlockAndAcceptsOnlyItsPassword) {
    TempDir dir;
    unsigned char in[16], record[16];
    std::memcpy(in, kCheckText, 16);
    ASSERT_TRUE(EncryptCheckRecord(in, record, Password("hunter2"), 16));

    WriteFile(dir / "block", std::vector<uint8_t>(kCheckText, kCheckText + 16));
    const std::string command = "openssl enc -aes-256-ecb -nopad -K " + ToHex(Key("hunter2")) +
                                " -in '" + (dir / "block") + "' -out '" + (dir / "out") + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(std::vector<uint8_t>(record, record + 16), ReadFile(dir / "out"));

    unsigned char plain[16] = {};
    ASSERT_TRUE(DecryptCheckRecord(record, plain, Password("hunter2"), 16));
    EXPECT_EQ(std::memcmp(plain, kCheckText, 16), 0);
    std::memset(plain, 0, 16);
    ASSERT_TRUE(DecryptCheckRecord(record, plain, Password("hunter3"), 16));
    EXPECT_NE(std::memcmp(plain, kCheckText, 16), 0);
}

TEST(PayloadCrypt, CheckRecordPadsItsInputInPlace) {
    unsigned char in[16], out[16];
    std::memset(in, 0xAA, sizeof in);
    std::memcpy(in, "short", 5);
    ASSERT_TRUE(EncryptCheckRecord(in, out, Password("pw"), 5));
    for (int i = 5; i < 16; ++i)
        EXPECT_EQ(in[i], 0) << i;
    unsigned char back[16] = {};
    ASSERT_TRUE(DecryptCheckRecord(out, back, Password("pw"), 16));
    EXPECT_EQ(std::memcmp(back, in, 16), 0);
}

TEST(PayloadCrypt, CheckRecordOperationsRefuseBadArgumentsWithoutTouchingOutput) {
    unsigned char in[32] = {}, out[32];
    std::memset(out, 0x77, sizeof out);
    EXPECT_FALSE(EncryptCheckRecord(nullptr, out, Password("pw"), 16));
    EXPECT_FALSE(EncryptCheckRecord(in, nullptr, Password("pw"), 16));
    EXPECT_FALSE(EncryptCheckRecord(in, out, Password("pw"), 0));
    EXPECT_FALSE(EncryptCheckRecord(in, out, Password("pw"), -5));
    EXPECT_FALSE(DecryptCheckRecord(nullptr, out, Password("pw"), 16));
    EXPECT_FALSE(DecryptCheckRecord(in, nullptr, Password("pw"), 16));
    EXPECT_FALSE(DecryptCheckRecord(in, out, Password("pw"), 20));
    EXPECT_FALSE(DecryptCheckRecord(in, out, Password("pw"), -16));
    EXPECT_FALSE(DecryptCheckRecord(in, out, Password("pw"), 0));
    EXPECT_EQ(std::vector<uint8_t>(out, out + 32), std::vector<uint8_t>(32, 0x77));
}

TEST(PayloadCrypt, PayloadFilesRoundTripAndFailuresReturnFalse) {
    TempDir dir;
    const auto plain = PseudoRandomBytes(5000, 8);
    WriteFile(dir / "plain", plain);
    const std::string in = dir / "plain", enc = dir / "enc", dec = dir / "dec";
    ASSERT_TRUE(EncryptPayloadFile(in.c_str(), enc.c_str(), Password("pässwörd")));
    ASSERT_TRUE(DecryptPayloadFile(enc.c_str(), dec.c_str(), Password("pässwörd")) ==
                DecryptResult::Ok);
    auto expected = plain;
    expected.resize(5008, 0);
    EXPECT_EQ(ReadFile(dec), expected);

    EXPECT_EQ(DecryptPayloadFile(enc.c_str(), dec.c_str(), Password("passwörd")),
              DecryptResult::WrongKey);
    EXPECT_TRUE(ReadFile(dec).empty());

    const std::string missing = dir / "missing", out = dir / "out";
    EXPECT_FALSE(EncryptPayloadFile(missing.c_str(), out.c_str(), Password("pw")));
    EXPECT_FALSE(FileExists(out));
    EXPECT_FALSE(EncryptPayloadFile(nullptr, out.c_str(), Password("pw")));
    EXPECT_FALSE(EncryptPayloadFile(in.c_str(), nullptr, Password("pw")));
    EXPECT_NE(DecryptPayloadFile(nullptr, out.c_str(), Password("pw")), DecryptResult::Ok);
    EXPECT_NE(DecryptPayloadFile(enc.c_str(), nullptr, Password("pw")), DecryptResult::Ok);
    EXPECT_FALSE(FileExists(out));
    EXPECT_FALSE(EncryptPayloadFile(in.c_str(), in.c_str(), Password("pw")));
    EXPECT_EQ(ReadFile(in), plain);
}

TEST(PayloadCrypt, CancelledPayloadOperationsFailAndLeaveNoOutput) {
    TempDir dir;
    WriteFile(dir / "plain", PseudoRandomBytes(5000, 9));
    const std::string in = dir / "plain", enc = dir / "enc", dec = dir / "dec";
    uint64_t last = 0;
    ASSERT_TRUE(EncryptPayloadFile(in.c_str(), enc.c_str(), Password("pw"), [&](uint64_t done) {
        last = done;
        return true;
    }));
    EXPECT_EQ(last, 5000u);

    const auto stop = [](uint64_t) { return false; };
    EXPECT_EQ(DecryptPayloadFile(enc.c_str(), dec.c_str(), Password("pw"), stop),
              DecryptResult::Cancelled);
    EXPECT_FALSE(FileExists(dec));
    const std::string enc2 = dir / "enc2";
    EXPECT_FALSE(EncryptPayloadFile(in.c_str(), enc2.c_str(), Password("pw"), stop));
    EXPECT_FALSE(FileExists(enc2));
}

// Writing into an open file gives the bytes of the file-to-file path, at the predicted
// size, and reading a range of a larger file deciphers what a file of its own would.
TEST(PayloadCrypt, PayloadIntoAnOpenFileAndFromARangeMatchTheFilePaths) {
    TempDir dir;
    const Password password("pässwörd");
    for (const size_t size : {size_t{0}, size_t{1}, size_t{16}, size_t{17}, size_t{262144},
                              size_t{262145}, size_t{600000}}) {
        SCOPED_TRACE(size);
        const std::string in = dir / "plain", enc = dir / "enc", into = dir / "into",
                          dec = dir / "dec", range = dir / "range";
        WriteFile(in, PseudoRandomBytes(size, 12));
        ASSERT_TRUE(EncryptPayloadFile(in.c_str(), enc.c_str(), password));
        const auto expected = ReadFile(enc);
        EXPECT_EQ(static_cast<int64_t>(expected.size()),
                  EncryptedPayloadSize(static_cast<int64_t>(size)));

        // Behind 7 bytes already in the file, as behind a carrier's picture.
        FILE* out = std::fopen(into.c_str(), "wb+");
        ASSERT_NE(out, nullptr);
        std::fputs("picture", out);
        uint64_t last = 0;
        EXPECT_TRUE(EncryptPayloadInto(in.c_str(), out, password, [&](uint64_t done) {
            last = done;
            return true;
        }));
        std::fputs("trailer", out);
        ASSERT_EQ(0, std::fflush(out));
        EXPECT_EQ(last, size);
        auto written = ReadFile(into);
        ASSERT_EQ(written.size(), expected.size() + 14);
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), written.begin() + 7));

        ASSERT_EQ(DecryptResult::Ok, DecryptPayloadFile(enc.c_str(), dec.c_str(), password));
        const auto length = static_cast<int64_t>(expected.size());
        EXPECT_EQ(DecryptResult::Ok,
                  DecryptPayloadRange(::fileno(out), 7, length, range.c_str(), password));
        EXPECT_EQ(ReadFile(dec), ReadFile(range));
        std::filesystem::remove(range);
        EXPECT_EQ(
            DecryptResult::WrongKey,
            DecryptPayloadRange(::fileno(out), 7, length, range.c_str(), Password("pässwörT")));
        EXPECT_FALSE(FileExists(range));
        std::fclose(out);
    }
}

TEST(PayloadCrypt, ARangeThatIsCutOrCancelledLeavesNoOutput) {
    TempDir dir;
    const Password password("pw");
    const std::string in = dir / "plain", enc = dir / "enc", out = dir / "out";
    WriteFile(in, PseudoRandomBytes(300000, 13));
    ASSERT_TRUE(EncryptPayloadFile(in.c_str(), enc.c_str(), password));
    const auto length = static_cast<int64_t>(ReadFile(enc).size());
    FILE* file = std::fopen(enc.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    const int fd = ::fileno(file);
    struct Case {
        int64_t offset, length;
        DecryptResult result;
    };
    for (const Case& c : {Case{0, length + 16, DecryptResult::Failed}, // runs past the end
                          Case{0, length - 1, DecryptResult::Failed},  // no whole block
                          Case{0, 31, DecryptResult::WrongKey},        // shorter than a signature
                          Case{16, length - 16, DecryptResult::WrongKey},
                          Case{-1, length, DecryptResult::Failed}}) {
        SCOPED_TRACE(c.offset);
        SCOPED_TRACE(c.length);
        EXPECT_EQ(c.result, DecryptPayloadRange(fd, c.offset, c.length, out.c_str(), password));
        EXPECT_FALSE(FileExists(out));
    }
    int reports = 0;
    EXPECT_EQ(DecryptResult::Cancelled,
              DecryptPayloadRange(fd, 0, length, out.c_str(), password,
                                  [&](uint64_t) { return ++reports < 2; }));
    EXPECT_EQ(2, reports);
    EXPECT_FALSE(FileExists(out));
    std::fclose(file);

    FILE* cut = std::fopen((dir / "cut").c_str(), "wb");
    ASSERT_NE(cut, nullptr);
    EXPECT_FALSE(EncryptPayloadInto((dir / "missing").c_str(), cut, password));
    std::fclose(cut);
}

TEST(PayloadCrypt, ReadsByPositionGiveTheDecipheredBytesAcrossBlockEdges) {
    TempDir dir;
    const Password password("pw");
    const std::string in = dir / "plain", enc = dir / "enc", dec = dir / "dec";
    WriteFile(in, PseudoRandomBytes(1000, 14));
    ASSERT_TRUE(EncryptPayloadFile(in.c_str(), enc.c_str(), password));
    ASSERT_EQ(DecryptResult::Ok, DecryptPayloadFile(enc.c_str(), dec.c_str(), password));
    const std::vector<uint8_t> plain = ReadFile(dec); // padding included
    FILE* file = std::fopen(enc.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    std::unique_ptr<PayloadReader> reader;
    ASSERT_EQ(DecryptResult::Ok,
              PayloadReader::Open(::fileno(file), 0, static_cast<int64_t>(ReadFile(enc).size()),
                                  password, reader));
    std::fclose(file); // the reader keeps its own descriptor
    ASSERT_EQ(reader->Size(), plain.size());
    const uint64_t size = plain.size();
    struct Case {
        uint64_t offset;
        size_t length;
    };
    // Within a block, across one edge, cut at both ends, whole blocks, the very end.
    for (const Case& c :
         {Case{0, 0}, Case{3, 5}, Case{15, 2}, Case{1, 30}, Case{1, 33}, Case{16, 32}, Case{5, 990},
          Case{0, size}, Case{size - 1, 1}, Case{size, 0}}) {
        SCOPED_TRACE(std::to_string(c.offset) + "+" + std::to_string(c.length));
        std::vector<uint8_t> got(c.length, 0xAA);
        ASSERT_TRUE(reader->ReadAt(c.offset, got.data(), c.length));
        EXPECT_TRUE(std::equal(got.begin(), got.end(), plain.begin() + c.offset));
    }
    uint8_t byte = 0;
    EXPECT_FALSE(reader->ReadAt(size, &byte, 1));
    EXPECT_FALSE(reader->ReadAt(size + 1, &byte, 0));
}
