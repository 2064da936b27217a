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
