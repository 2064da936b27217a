// SPDX-License-Identifier: GPL-2.0-or-later
#include "crypt/Rijndael.h"
#include "CryptTestUtil.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <stdexcept>

using namespace lumora;
using namespace lumora::test;

namespace {

std::vector<uint8_t> Sequence(size_t n) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<uint8_t>(i);
    return bytes;
}

void InitEcb(CRijndael& cipher, const std::vector<uint8_t>& key, int blockSize = 16) {
    cipher.Initialize(key.data(), static_cast<int>(key.size()), nullptr,
                      static_cast<int>(key.size()), blockSize, IMethod::MODE_ECB,
                      IMethod::PAD_ZEROS);
}

std::vector<uint8_t> EncryptOne(CRijndael& cipher, const std::vector<uint8_t>& block) {
    std::vector<uint8_t> out(block.size());
    cipher.CipherBlock(block.data(), out.data());
    return out;
}

struct KnownAnswer {
    int blockSize, keyLength, mode;
    std::vector<uint8_t> key, iv, plain, cipher;
};

std::vector<KnownAnswer> LoadKnownAnswers() {
    std::ifstream file(std::string(LUMORA_TEST_DATA_DIR) + "/crypt/rijndael-vectors.txt");
    std::vector<KnownAnswer> vectors;
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        KnownAnswer v;
        std::string key, iv, plain, cipher;
        fields >> v.blockSize >> v.keyLength >> v.mode >> key >> iv >> plain >> cipher;
        v.key = FromHex(key);
        v.iv = FromHex(iv);
        v.plain = FromHex(plain);
        v.cipher = FromHex(cipher);
        vectors.push_back(v);
    }
    return vectors;
}

} // namespace

TEST(Rijndael, ReproducesTheAesExamplesForEveryKeyLength) {
    const auto plain = FromHex("00112233445566778899aabbccddeeff");
    const std::pair<size_t, const char*> examples[] = {
        {16, "69c4e0d86a7b0430d8cdb78070b4c55a"},
        {24, "dda97ca4864cdfe06eaf70a0ec0d7191"},
        {32, "8ea2b7ca516745bfeafc49904b496089"},
    };
    for (const auto& [keyLength, expected] : examples) {
        SCOPED_TRACE(keyLength);
        CRijndael cipher;
        InitEcb(cipher, Sequence(keyLength));
        const auto encrypted = EncryptOne(cipher, plain);
        EXPECT_EQ(ToHex(encrypted), expected);
        std::vector<uint8_t> decrypted(16);
        cipher.InvCipherBlock(encrypted.data(), decrypted.data());
        EXPECT_EQ(decrypted, plain);
    }
}

// Vectors from libmcrypt's rijndael-128/192/256 for every block size, key length and mode.
TEST(Rijndael, MatchesAnIndependentImplementationForAllSizesAndModes) {
    const auto vectors = LoadKnownAnswers();
    ASSERT_EQ(vectors.size(), 36u);
    for (const auto& v : vectors) {
        SCOPED_TRACE(testing::Message()
                     << "block " << v.blockSize << " key " << v.keyLength << " mode " << v.mode);
        CRijndael cipher;
        cipher.Initialize(v.key.data(), v.keyLength, v.iv.data(), v.keyLength, v.blockSize, v.mode,
                          IMethod::PAD_ZEROS);
        std::vector<uint8_t> out(v.plain.size());
        cipher.Encrypt(v.plain.data(), out.data(), out.size());
        EXPECT_EQ(ToHex(out), ToHex(v.cipher));

        cipher.RestoreChain();
        std::vector<uint8_t> back(v.cipher.size());
        cipher.Decrypt(v.cipher.data(), back.data(), back.size());
        EXPECT_EQ(back, v.plain);

        // The chain carries over from call to call: block by block gives the same result.
        cipher.RestoreChain();
        const size_t bs = static_cast<size_t>(v.blockSize);
        for (size_t i = 0; i < v.plain.size(); i += bs)
            cipher.Encrypt(v.plain.data() + i, out.data() + i, bs);
        EXPECT_EQ(ToHex(out), ToHex(v.cipher));
    }
}

TEST(Rijndael, RepeatsShortKeyDataAndCutsLongKeyData) {
    const std::vector<uint8_t> block(16, 0x5A);
    CRijndael repeated, explicitKey;
    const std::string five = "abcde";
    repeated.Initialize(reinterpret_cast<const unsigned char*>(five.data()), 5, nullptr, 16, 16,
                        IMethod::MODE_ECB, IMethod::PAD_ZEROS);
    const std::string expanded = "abcdeabcdeabcdea";
    InitEcb(explicitKey, std::vector<uint8_t>(expanded.begin(), expanded.end()));
    EXPECT_EQ(EncryptOne(repeated, block), EncryptOne(explicitKey, block));

    CRijndael cut, first32;
    const auto forty = Sequence(40);
    cut.Initialize(forty.data(), 40, nullptr, 32, 16, IMethod::MODE_ECB, IMethod::PAD_ZEROS);
    InitEcb(first32, Sequence(32));
    EXPECT_EQ(EncryptOne(cut, block), EncryptOne(first32, block));
}

TEST(Rijndael, InitializeRefusesBadParametersAndKeepsTheEarlierKey) {
    const auto key = Sequence(32);
    const auto chain = Sequence(32);
    const std::vector<uint8_t> block(16, 0x11);
    CRijndael cipher;
    InitEcb(cipher, key);
    const auto before = EncryptOne(cipher, block);

    struct Case {
        const unsigned char* keyData;
        int keyDataLength, keyLength, blockSize, mode, padding;
        const char* message;
    };
    const Case cases[] = {
        {nullptr, 32, 32, 16, 0, 0, "No Key DataSpecified!"},
        {key.data(), 0, 32, 16, 0, 0, "Key Data Length should be > 0!"},
        {key.data(), -4, 32, 16, 0, 0, "Key Data Length should be > 0!"},
        {key.data(), 32, 20, 16, 0, 0, "Illegal Key Length!"},
        {key.data(), 32, 32, 8, 0, 0, "Illegal Block Size!"},
        {key.data(), 32, 32, 16, 3, 0, "Illegal Operation Mode!"},
        {key.data(), 32, 32, 16, -1, 0, "Illegal Operation Mode!"},
        {key.data(), 32, 32, 16, 0, 3, "Illegal Padding Mode!"},
        // The first failing check decides the message.
        {key.data(), 32, 12, 12, 9, 9, "Illegal Key Length!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(ErrorOf([&] {
                      cipher.Initialize(c.keyData, c.keyDataLength, chain.data(), c.keyLength,
                                        c.blockSize, c.mode, c.padding);
                  }),
                  c.message);
        EXPECT_EQ(EncryptOne(cipher, block), before);
        EXPECT_EQ(cipher.GetBlockSize(), 16);
    }
}

TEST(Rijndael, EveryOperationRefusesAnUninitialisedObject) {
    CRijndael cipher;
    unsigned char in[32] = {}, out[32] = {};
    const std::string expected = "Encryption/Decryption Object not Initialized!";
    EXPECT_EQ(ErrorOf([&] { cipher.Encrypt(in, out, 16); }), expected);
    EXPECT_EQ(ErrorOf([&] { cipher.Decrypt(in, out, 16); }), expected);
    EXPECT_EQ(ErrorOf([&] { cipher.RestoreChain(); }), expected);
    EXPECT_EQ(ErrorOf([&] { cipher.XorBlock(in, out); }), expected);
    EXPECT_EQ(ErrorOf([&] { cipher.GetBlockSize(); }), expected);
    EXPECT_EQ(ErrorOf([&] { cipher.PadBuffer(in, 5); }), expected);
    EXPECT_EQ(ErrorOf([&] { cipher.CipherBlock(in, out); }), expected);
    EXPECT_EQ(ErrorOf([&] { cipher.InvCipherBlock(in, out); }), expected);
    EXPECT_EQ(ErrorOf([&] { cipher.EncryptFile("/nonexistent/a", "/nonexistent/b"); }), expected);
    EXPECT_EQ(ErrorOf([&] { cipher.DecryptFile("/nonexistent/a", "/nonexistent/b"); }), expected);
}

TEST(Rijndael, PartialBlocksAreRefusedWithoutOutputOrChainMovement) {
    const auto key = Sequence(16);
    const auto iv = Sequence(16);
    CRijndael cipher;
    cipher.Initialize(key.data(), 16, iv.data(), 16, 16, IMethod::MODE_CBC, IMethod::PAD_ZEROS);
    const std::vector<uint8_t> plain(32, 0x42);
    std::vector<uint8_t> out(32, 0xEE);
    for (size_t n : {size_t{0}, size_t{20}}) {
        EXPECT_EQ(ErrorOf([&] { cipher.Encrypt(plain.data(), out.data(), n); }),
                  "Illegal Block Size!");
        EXPECT_EQ(ErrorOf([&] { cipher.Decrypt(plain.data(), out.data(), n); }),
                  "Illegal Block Size!");
    }
    EXPECT_EQ(out, std::vector<uint8_t>(32, 0xEE));

    std::vector<uint8_t> fresh(16);
    CRijndael reference;
    reference.Initialize(key.data(), 16, iv.data(), 16, 16, IMethod::MODE_CBC, IMethod::PAD_ZEROS);
    reference.Encrypt(plain.data(), fresh.data(), 16);
    cipher.Encrypt(plain.data(), out.data(), 16);
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 16), fresh);
}

TEST(Rijndael, PadBufferFillsToTheNextBlockByPaddingMode) {
    const auto key = Sequence(16);
    const std::pair<int, uint8_t> modes[] = {
        {IMethod::PAD_ZEROS, 0x00}, {IMethod::PAD_BLANKS, 0x20}, {IMethod::PAD_COUNT, 0x0B}};
    for (const auto& [padding, fill] : modes) {
        SCOPED_TRACE(padding);
        CRijndael cipher;
        cipher.Initialize(key.data(), 16, nullptr, 16, 16, IMethod::MODE_ECB, padding);
        std::vector<uint8_t> buf(48, 0xEE);
        EXPECT_EQ(cipher.PadBuffer(buf.data(), 5), 16u);
        EXPECT_EQ(std::vector<uint8_t>(buf.begin() + 5, buf.begin() + 16),
                  std::vector<uint8_t>(11, fill));
        EXPECT_EQ(buf[16], 0xEE);
        std::vector<uint8_t> whole(48, 0xEE);
        EXPECT_EQ(cipher.PadBuffer(whole.data(), 32), 32u);
        EXPECT_EQ(whole, std::vector<uint8_t>(48, 0xEE));
    }
}
