// SPDX-License-Identifier: GPL-2.0-or-later
#include "crypt/PayloadCrypt.h"
#include "CryptTestUtil.h"
#include "support/TestFiles.h"

#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>

using namespace lumora;
using namespace lumora::test;

namespace {

const unsigned char kCheckText[17] = "LumoraCheck16Txt";

std::vector<uint8_t> Key(const char* password) {
    std::vector<uint8_t> key(32);
    MakePasswordKey(password, key.data());
    return key;
}

} // namespace

TEST(PayloadCrypt, PasswordKeyIsTheFirst32BytesPaddedWithZeros) {
    auto expected = std::vector<uint8_t>(32, 0);
    EXPECT_EQ(Key(""), expected);
    EXPECT_EQ(Key(nullptr), expected);
    std::memcpy(expected.data(), "abc", 3);
    EXPECT_EQ(Key("abc"), expected);
    const std::string longText = "0123456789abcdefghijklmnopqrstuvwxyz!?";
    EXPECT_EQ(Key(longText.c_str()), std::vector<uint8_t>(longText.begin(), longText.begin() + 32));
}

TEST(PayloadCrypt, CheckRecordIsOneAesBlockAndAcceptsOnlyItsPassword) {
    TempDir dir;
    unsigned char in[16], record[16];
    std::memcpy(in, kCheckText, 16);
    ASSERT_TRUE(EncryptCheckRecord(in, record, "hunter2", 16));

    WriteFile(dir / "block", std::vector<uint8_t>(kCheckText, kCheckText + 16));
    const std::string command = "openssl enc -aes-256-ecb -nopad -K " + ToHex(Key("hunter2")) +
                                " -in '" + (dir / "block") + "' -out '" + (dir / "out") + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(std::vector<uint8_t>(record, record + 16), ReadFile(dir / "out"));

    unsigned char plain[16] = {};
    ASSERT_TRUE(DecryptCheckRecord(record, plain, "hunter2", 16));
    EXPECT_EQ(std::memcmp(plain, kCheckText, 16), 0);
    std::memset(plain, 0, 16);
    ASSERT_TRUE(DecryptCheckRecord(record, plain, "hunter3", 16));
    EXPECT_NE(std::memcmp(plain, kCheckText, 16), 0);
}

TEST(PayloadCrypt, CheckRecordPadsItsInputInPlace) {
    unsigned char in[16], out[16];
    std::memset(in, 0xAA, sizeof in);
    std::memcpy(in, "short", 5);
    ASSERT_TRUE(EncryptCheckRecord(in, out, "pw", 5));
    for (int i = 5; i < 16; ++i)
        EXPECT_EQ(in[i], 0) << i;
    unsigned char back[16] = {};
    ASSERT_TRUE(DecryptCheckRecord(out, back, "pw", 16));
    EXPECT_EQ(std::memcmp(back, in, 16), 0);
}

TEST(PayloadCrypt, CheckRecordOperationsRefuseBadArgumentsWithoutTouchingOutput) {
    unsigned char in[32] = {}, out[32];
    std::memset(out, 0x77, sizeof out);
    EXPECT_FALSE(EncryptCheckRecord(nullptr, out, "pw", 16));
    EXPECT_FALSE(EncryptCheckRecord(in, nullptr, "pw", 16));
    EXPECT_FALSE(EncryptCheckRecord(in, out, nullptr, 16));
    EXPECT_FALSE(EncryptCheckRecord(in, out, "pw", 0));
    EXPECT_FALSE(EncryptCheckRecord(in, out, "pw", -5));
    EXPECT_FALSE(DecryptCheckRecord(nullptr, out, "pw", 16));
    EXPECT_FALSE(DecryptCheckRecord(in, nullptr, "pw", 16));
    EXPECT_FALSE(DecryptCheckRecord(in, out, nullptr, 16));
    EXPECT_FALSE(DecryptCheckRecord(in, out, "pw", 20));
    EXPECT_FALSE(DecryptCheckRecord(in, out, "pw", -16));
    EXPECT_FALSE(DecryptCheckRecord(in, out, "pw", 0));
    EXPECT_EQ(std::vector<uint8_t>(out, out + 32), std::vector<uint8_t>(32, 0x77));
}

TEST(PayloadCrypt, PayloadFilesRoundTripAndFailuresReturnFalse) {
    TempDir dir;
    const auto plain = PseudoRandomBytes(5000, 8);
    WriteFile(dir / "plain", plain);
    const std::string in = dir / "plain", enc = dir / "enc", dec = dir / "dec";
    ASSERT_TRUE(EncryptPayloadFile(in.c_str(), enc.c_str(), "pässwörd"));
    ASSERT_TRUE(DecryptPayloadFile(enc.c_str(), dec.c_str(), "pässwörd"));
    auto expected = plain;
    expected.resize(5008, 0);
    EXPECT_EQ(ReadFile(dec), expected);

    EXPECT_FALSE(DecryptPayloadFile(enc.c_str(), dec.c_str(), "passwörd"));
    EXPECT_TRUE(ReadFile(dec).empty());

    const std::string missing = dir / "missing", out = dir / "out";
    EXPECT_FALSE(EncryptPayloadFile(missing.c_str(), out.c_str(), "pw"));
    EXPECT_FALSE(FileExists(out));
    EXPECT_FALSE(EncryptPayloadFile(nullptr, out.c_str(), "pw"));
    EXPECT_FALSE(EncryptPayloadFile(in.c_str(), nullptr, "pw"));
    EXPECT_FALSE(EncryptPayloadFile(in.c_str(), out.c_str(), nullptr));
    EXPECT_FALSE(DecryptPayloadFile(nullptr, out.c_str(), "pw"));
    EXPECT_FALSE(DecryptPayloadFile(enc.c_str(), nullptr, "pw"));
    EXPECT_FALSE(DecryptPayloadFile(enc.c_str(), out.c_str(), nullptr));
    EXPECT_FALSE(FileExists(out));
    EXPECT_FALSE(EncryptPayloadFile(in.c_str(), in.c_str(), "pw"));
    EXPECT_EQ(ReadFile(in), plain);
}

TEST(PayloadCrypt, CancelledPayloadOperationsFailAndLeaveNoOutput) {
    TempDir dir;
    WriteFile(dir / "plain", PseudoRandomBytes(5000, 9));
    const std::string in = dir / "plain", enc = dir / "enc", dec = dir / "dec";
    uint64_t last = 0;
    ASSERT_TRUE(EncryptPayloadFile(in.c_str(), enc.c_str(), "pw", [&](uint64_t done) {
        last = done;
        return true;
    }));
    EXPECT_EQ(last, 5000u);

    const auto stop = [](uint64_t) { return false; };
    EXPECT_FALSE(DecryptPayloadFile(enc.c_str(), dec.c_str(), "pw", stop));
    EXPECT_FALSE(FileExists(dec));
    const std::string enc2 = dir / "enc2";
    EXPECT_FALSE(EncryptPayloadFile(in.c_str(), enc2.c_str(), "pw", stop));
    EXPECT_FALSE(FileExists(enc2));
}
