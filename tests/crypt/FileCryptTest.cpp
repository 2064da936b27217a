// SPDX-License-Identifier: GPL-2.0-or-later
// The FileCrypt encrypted file as written and read by CRijndael, checked against the
// openssl and sha256sum tools.
#include "CryptTestUtil.h"
#include "crypt/PayloadCrypt.h"
#include "crypt/Rijndael.h"
#include "support/TestFiles.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace lumora;
using namespace lumora::test;

namespace {

void InitEngine(CRijndael& cipher, const char* password) {
    unsigned char key[32];
    MakePasswordKey(Password(password), key);
    cipher.Initialize(key, 32, nullptr, 32, 16, IMethod::MODE_ECB, IMethod::PAD_ZEROS);
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, size_t from, size_t to) {
    return std::vector<uint8_t>(bytes.begin() + static_cast<long>(from),
                                bytes.begin() + static_cast<long>(to));
}

// AES-256-ECB without padding by the openssl command line.
std::vector<uint8_t> OpensslEcb(const TempDir& dir, const std::vector<uint8_t>& plain,
                                const std::string& password) {
    unsigned char key[32];
    MakePasswordKey(Password(password), key);
    WriteFile(dir / "openssl-in", plain);
    const std::string command = "openssl enc -aes-256-ecb -nopad -K " + ToHex(key, 32) + " -in '" +
                                (dir / "openssl-in") + "' -out '" + (dir / "openssl-out") + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return ReadFile(dir / "openssl-out");
}

std::string Sha256OfText(const TempDir& dir, const std::string& text) {
    WriteText(dir / "signature-text", text);
    return Sha256Hex(dir / "signature-text");
}

} // namespace

// An empty input gives the signature alone; 384, 512, 768 and 1024 bytes (a chunk, half
// and whole reading buffer) need no padding.
TEST(FileCrypt, OnlyTheLastChunkIsPaddedWithZeroBytes) {
    TempDir dir;
    for (size_t size : {0, 1000, 384, 512, 768, 1024, 17, 4099}) {
        SCOPED_TRACE(size);
        const auto plain = PseudoRandomBytes(size, static_cast<uint32_t>(size));
        WriteFile(dir / "plain", plain);
        CRijndael cipher;
        InitEngine(cipher, "secret");
        cipher.EncryptFile(dir / "plain", dir / "enc");
        const size_t padded = (size + 15) / 16 * 16;
        EXPECT_EQ(ReadFile(dir / "enc").size(), 32 + padded);
        cipher.DecryptFile(dir / "enc", dir / "dec");
        auto expected = plain;
        expected.resize(padded, 0);
        EXPECT_EQ(ReadFile(dir / "dec"), expected);
    }
}

// The ciphertext is AES-256-ECB of the zero-padded input under the password key, and the
// signature is SHA-256 of "RIJNDAEL" and the password, cut at the key's first zero byte.
TEST(FileCrypt, MatchesOpensslAndSha256sum) {
    TempDir dir;
    const std::string longPassword = "0123456789abcdefghijklmnopqrstuvwxyz!?";
    const std::pair<std::string, std::string> cases[] = {
        {"", "RIJNDAEL"},
        {"secret", "RIJNDAELsecret"},
        {"exactly-thirty-two-bytes-long!!!", "RIJNDAELexactly-thirty-two-bytes-long!!!163200"},
        {longPassword, "RIJNDAEL" + longPassword.substr(0, 32) + "163200"},
    };
    for (const auto& [password, signatureText] : cases) {
        for (size_t size : {0, 1000, 70001}) {
            SCOPED_TRACE(testing::Message() << "password '" << password << "' size " << size);
            auto plain = PseudoRandomBytes(size, 99);
            WriteFile(dir / "plain", plain);
            CRijndael cipher;
            InitEngine(cipher, password.c_str());
            cipher.EncryptFile(dir / "plain", dir / "enc");
            const auto encrypted = ReadFile(dir / "enc");
            ASSERT_GE(encrypted.size(), 32u);
            EXPECT_EQ(ToHex(Slice(encrypted, 0, 32)), Sha256OfText(dir, signatureText));
            plain.resize((size + 15) / 16 * 16, 0);
            EXPECT_EQ(Slice(encrypted, 32, encrypted.size()), OpensslEcb(dir, plain, password));
        }
    }
}

TEST(FileCrypt, PasswordsAgreeingInTheirFirst32BytesAreInterchangeable) {
    TempDir dir;
    const std::string common(32, 'k');
    WriteFile(dir / "plain", PseudoRandomBytes(777, 3));
    CRijndael a, b;
    InitEngine(a, (common + "first").c_str());
    InitEngine(b, (common + "second").c_str());
    a.EncryptFile(dir / "plain", dir / "enc-a");
    b.EncryptFile(dir / "plain", dir / "enc-b");
    EXPECT_EQ(ReadFile(dir / "enc-a"), ReadFile(dir / "enc-b"));
    b.DecryptFile(dir / "enc-a", dir / "dec");
    EXPECT_EQ(Slice(ReadFile(dir / "dec"), 0, 777), ReadFile(dir / "plain"));
}

TEST(FileCrypt, WrongPasswordLeavesAnEmptyOutput) {
    TempDir dir;
    WriteFile(dir / "plain", PseudoRandomBytes(1000, 1));
    CRijndael right, wrong;
    InitEngine(right, "right");
    InitEngine(wrong, "wrong");
    right.EncryptFile(dir / "plain", dir / "enc");
    EXPECT_EQ(ErrorOf([&] { wrong.DecryptFile(dir / "enc", dir / "dec"); }),
              "File " + (dir / "enc") + " cannot be Correctly Decrypted!");
    EXPECT_TRUE(FileExists(dir / "dec"));
    EXPECT_TRUE(ReadFile(dir / "dec").empty());
}

TEST(FileCrypt, SameFileForInputAndOutputIsRefusedUntouched) {
    TempDir dir;
    const auto plain = PseudoRandomBytes(100, 5);
    WriteFile(dir / "plain", plain);
    CRijndael cipher;
    InitEngine(cipher, "pw");
    const std::string path = dir / "plain";
    EXPECT_EQ(ErrorOf([&] { cipher.EncryptFile(path, path); }),
              "The same File for Input and Output " + path + "!");
    EXPECT_EQ(ErrorOf([&] { cipher.DecryptFile(path, path); }),
              "The same File for Input and Output " + path + "!");
    // Another spelling of the same file must not truncate it either.
    const std::string alias = dir.Path() + "/./plain";
    EXPECT_EQ(ErrorOf([&] { cipher.EncryptFile(path, alias); }),
              "The same File for Input and Output " + path + "!");
    EXPECT_EQ(ReadFile(path), plain);

    const std::string missing = dir / "missing";
    EXPECT_EQ(ErrorOf([&] { cipher.EncryptFile(missing, missing); }),
              "The same File for Input and Output " + missing + "!");
    EXPECT_FALSE(FileExists(missing));
}

TEST(FileCrypt, DamagedEncryptedFilesAreRefused) {
    TempDir dir;
    WriteFile(dir / "plain", PseudoRandomBytes(1000, 11));
    CRijndael cipher;
    InitEngine(cipher, "pw");
    cipher.EncryptFile(dir / "plain", dir / "enc");
    const auto good = ReadFile(dir / "enc");
    const std::string notDecrypted = "File " + (dir / "bad") + " cannot be Correctly Decrypted!";

    // Shorter than the signature, even when what there is matches it.
    WriteFile(dir / "bad", Slice(good, 0, 31));
    EXPECT_EQ(ErrorOf([&] { cipher.DecryptFile(dir / "bad", dir / "dec"); }), notDecrypted);
    WriteFile(dir / "bad", {});
    EXPECT_EQ(ErrorOf([&] { cipher.DecryptFile(dir / "bad", dir / "dec"); }), notDecrypted);

    auto corrupted = good;
    corrupted[7] ^= 0x01;
    WriteFile(dir / "bad", corrupted);
    EXPECT_EQ(ErrorOf([&] { cipher.DecryptFile(dir / "bad", dir / "dec"); }), notDecrypted);

    // Cut inside the third chunk: the first two are written, then the partial block fails.
    WriteFile(dir / "bad", Slice(good, 0, good.size() - 5));
    EXPECT_EQ(ErrorOf([&] { cipher.DecryptFile(dir / "bad", dir / "dec"); }),
              "Illegal Block Size!");
    EXPECT_EQ(ReadFile(dir / "dec"), Slice(ReadFile(dir / "plain"), 0, 768));
}

TEST(FileCrypt, FilesThatCannotBeOpenedAreNamed) {
    TempDir dir;
    WriteFile(dir / "plain", PseudoRandomBytes(10, 1));
    WriteText(dir / "regular", "x");
    CRijndael cipher;
    InitEngine(cipher, "pw");
    EXPECT_EQ(ErrorOf([&] { cipher.EncryptFile(dir / "missing", dir / "out"); }),
              "Cannot open File " + (dir / "missing") + "!");
    EXPECT_EQ(ErrorOf([&] { cipher.DecryptFile(dir / "missing", dir / "out"); }),
              "Cannot open File " + (dir / "missing") + "!");
    EXPECT_FALSE(FileExists(dir / "out"));
    // A path below a regular file cannot be created, not even by root.
    const std::string unwritable = dir / "regular/out";
    EXPECT_EQ(ErrorOf([&] { cipher.EncryptFile(dir / "plain", unwritable); }),
              "Cannot open File " + unwritable + "!");
}

TEST(FileCrypt, ReadAndWriteErrorsAreReportedNotIgnored) {
    TempDir dir;
    WriteFile(dir / "plain", PseudoRandomBytes(200000, 1));
    CRijndael cipher;
    InitEngine(cipher, "pw");
    if (!FileExists("/dev/full"))
        GTEST_SKIP() << "no /dev/full to fail writes";
    EXPECT_EQ(ErrorOf([&] { cipher.EncryptFile(dir / "plain", "/dev/full"); }),
              "Cannot write File /dev/full!");
    EXPECT_TRUE(FileExists("/dev/full"));

    std::filesystem::create_directory(dir / "folder");
    EXPECT_EQ(ErrorOf([&] { cipher.EncryptFile(dir / "folder", dir / "out"); }),
              "Cannot read File " + (dir / "folder") + "!");
}

TEST(FileCrypt, ProgressIsReportedAndCancellingRemovesTheOutput) {
    TempDir dir;
    WriteFile(dir / "plain", PseudoRandomBytes(1000, 2));
    CRijndael cipher;
    InitEngine(cipher, "pw");
    std::vector<uint64_t> reports;
    cipher.SetChunkProgress([&](uint64_t done) {
        reports.push_back(done);
        return true;
    });
    cipher.EncryptFile(dir / "plain", dir / "enc");
    EXPECT_EQ(reports, (std::vector<uint64_t>{384, 768, 1000}));
    reports.clear();
    cipher.DecryptFile(dir / "enc", dir / "dec");
    EXPECT_EQ(reports, (std::vector<uint64_t>{32 + 384, 32 + 768, 32 + 1008}));

    cipher.SetChunkProgress([](uint64_t done) { return done < 500; });
    EXPECT_EQ(ErrorOf([&] { cipher.EncryptFile(dir / "plain", dir / "enc2"); }),
              "Operation Cancelled!");
    EXPECT_FALSE(FileExists(dir / "enc2"));
    EXPECT_EQ(ErrorOf([&] { cipher.DecryptFile(dir / "enc", dir / "dec2"); }),
              "Operation Cancelled!");
    EXPECT_FALSE(FileExists(dir / "dec2"));
}

// The file format works for every block size and mode, not only the engine's.
TEST(FileCrypt, RoundTripsWithOtherBlockSizesAndModes) {
    TempDir dir;
    const auto plain = PseudoRandomBytes(2500, 21);
    WriteFile(dir / "plain", plain);
    const auto key = PseudoRandomBytes(32, 4);
    const auto chain = PseudoRandomBytes(32, 6);
    for (int blockSize : {24, 32}) {
        for (int mode : {IMethod::MODE_CBC, IMethod::MODE_CFB}) {
            SCOPED_TRACE(testing::Message() << blockSize << " " << mode);
            CRijndael cipher;
            cipher.Initialize(key.data(), 32, chain.data(), 24, blockSize, mode,
                              IMethod::PAD_COUNT);
            cipher.EncryptFile(dir / "plain", dir / "enc");
            const size_t padded = (2500 + blockSize - 1) / blockSize * blockSize;
            EXPECT_EQ(ReadFile(dir / "enc").size(), 32 + padded);
            cipher.DecryptFile(dir / "enc", dir / "dec");
            auto expected = plain;
            expected.resize(padded, static_cast<uint8_t>(padded - 2500));
            EXPECT_EQ(ReadFile(dir / "dec"), expected);
        }
    }
}
