// SPDX-License-Identifier: GPL-2.0-or-later
// The AES instruction path must give the same bytes as the table path for every key
// length, mode and length of input, and both must meet the FIPS-197 examples.
#include "CryptTestUtil.h"
#include "crypt/Rijndael.h"
#include "crypt/RijndaelHardware.h"

#include <gtest/gtest.h>

using namespace lumora;
using namespace lumora::test;

namespace {

struct Keyed {
    std::vector<uint8_t> key;
    int mode;
};

std::vector<uint8_t> Pattern(size_t n, uint32_t seed) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes[i] = static_cast<uint8_t>(seed >> 16);
    }
    return bytes;
}

std::vector<uint8_t> Cipher(const Keyed& k, bool hardware, bool encrypt,
                            const std::vector<uint8_t>& input) {
    rijndael::UseHardwareAes(hardware);
    CRijndael cipher;
    std::vector<uint8_t> chain = Pattern(16, 7);
    cipher.Initialize(k.key.data(), static_cast<int>(k.key.size()), chain.data(),
                      static_cast<int>(k.key.size()), 16, k.mode, IMethod::PAD_ZEROS);
    std::vector<uint8_t> out(input.size());
    // Two calls, so the chain block is carried from one call into the next.
    size_t half = (input.size() / 32) * 16;
    if (half > 0) {
        if (encrypt)
            cipher.Encrypt(input.data(), out.data(), half);
        else
            cipher.Decrypt(input.data(), out.data(), half);
    }
    if (encrypt)
        cipher.Encrypt(input.data() + half, out.data() + half, input.size() - half);
    else
        cipher.Decrypt(input.data() + half, out.data() + half, input.size() - half);
    return out;
}

class HardwareAesTest : public ::testing::Test {
protected:
    void SetUp() override {
        rijndael::UseHardwareAes(true);
        if (!rijndael::HardwareAesActive())
            GTEST_SKIP() << "the processor has no AES instructions";
    }
    void TearDown() override { rijndael::UseHardwareAes(true); }
};

TEST_F(HardwareAesTest, SameBytesAsTablesForEveryKeyModeAndLength) {
    for (int keyLength : {16, 24, 32}) {
        for (int mode : {IMethod::MODE_ECB, IMethod::MODE_CBC, IMethod::MODE_CFB}) {
            Keyed k{
                Pattern(static_cast<size_t>(keyLength), static_cast<uint32_t>(keyLength + mode)),
                mode};
            // 1 to 41 blocks: below, at and past the four blocks handled side by side.
            for (size_t blocks = 1; blocks <= 41; blocks += 2) {
                auto plain = Pattern(16 * blocks, static_cast<uint32_t>(blocks));
                SCOPED_TRACE(testing::Message()
                             << "key " << keyLength << " mode " << mode << " blocks " << blocks);
                auto tableCipher = Cipher(k, false, true, plain);
                auto hardwareCipher = Cipher(k, true, true, plain);
                EXPECT_EQ(ToHex(tableCipher), ToHex(hardwareCipher));
                EXPECT_EQ(ToHex(Cipher(k, false, false, tableCipher)), ToHex(plain));
                EXPECT_EQ(ToHex(Cipher(k, true, false, tableCipher)), ToHex(plain));
            }
        }
    }
}

TEST_F(HardwareAesTest, SingleBlocksMeetFips197OnBothPaths) {
    const auto plain = FromHex("00112233445566778899aabbccddeeff");
    const struct {
        const char* key;
        const char* cipher;
    } examples[] = {
        {"000102030405060708090a0b0c0d0e0f", "69c4e0d86a7b0430d8cdb78070b4c55a"},
        {"000102030405060708090a0b0c0d0e0f1011121314151617", "dda97ca4864cdfe06eaf70a0ec0d7191"},
        {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
         "8ea2b7ca516745bfeafc49904b496089"},
    };
    for (bool hardware : {false, true}) {
        rijndael::UseHardwareAes(hardware);
        for (const auto& example : examples) {
            auto key = FromHex(example.key);
            CRijndael cipher;
            cipher.Initialize(key.data(), static_cast<int>(key.size()), nullptr,
                              static_cast<int>(key.size()), 16, IMethod::MODE_ECB,
                              IMethod::PAD_ZEROS);
            std::vector<uint8_t> out(16), back(16);
            cipher.CipherBlock(plain.data(), out.data());
            cipher.InvCipherBlock(out.data(), back.data());
            EXPECT_EQ(ToHex(out), example.cipher) << "hardware " << hardware;
            EXPECT_EQ(ToHex(back), ToHex(plain)) << "hardware " << hardware;
        }
    }
}

TEST_F(HardwareAesTest, CipheringInPlaceGivesTheSameBytes) {
    Keyed k{Pattern(32, 3), IMethod::MODE_ECB};
    auto plain = Pattern(16 * 24, 9);
    auto expected = Cipher(k, false, true, plain);
    rijndael::UseHardwareAes(true);
    CRijndael cipher;
    cipher.Initialize(k.key.data(), 32, nullptr, 32, 16, IMethod::MODE_ECB, IMethod::PAD_ZEROS);
    auto data = plain;
    cipher.Encrypt(data.data(), data.data(), data.size());
    EXPECT_EQ(ToHex(data), ToHex(expected));
    cipher.Decrypt(data.data(), data.data(), data.size());
    EXPECT_EQ(ToHex(data), ToHex(plain));
}

TEST(HardwareAesSwitch, TablePathCanBeForced) {
    rijndael::UseHardwareAes(false);
    EXPECT_FALSE(rijndael::HardwareAesActive());
    rijndael::UseHardwareAes(true);
}

} // namespace
