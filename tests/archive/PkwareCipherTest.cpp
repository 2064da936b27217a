// SPDX-License-Identifier: GPL-2.0-or-later
// The entry cipher against the zip format's own description of it, byte by byte: the
// deciphering loop is arranged for speed, so it must still give exactly those bytes.
#include "archive/PkwareCipher.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <string>

namespace lumora {
namespace {

using Bytes = std::vector<uint8_t>;

// The application note's update, with the CRC step taken through zlib's crc32().
struct NoteKeys {
    uint32_t k[3] = {0x12345678u, 0x23456789u, 0x34567890u};
    static uint32_t Step(uint32_t key, uint8_t byte) {
        return ~static_cast<uint32_t>(crc32(~key & 0xFFFFFFFFu, &byte, 1));
    }
    void Update(uint8_t plain) {
        k[0] = Step(k[0], plain);
        k[1] = (k[1] + (k[0] & 0xFF)) * 134775813u + 1;
        k[2] = Step(k[2], static_cast<uint8_t>(k[1] >> 24));
    }
    uint8_t StreamByte() const {
        const uint16_t temp = static_cast<uint16_t>(k[2] | 2);
        return static_cast<uint8_t>((temp * (temp ^ 1u)) >> 8);
    }
};

Bytes NoteEncrypt(const std::string& password, const Bytes& plain) {
    NoteKeys keys;
    for (char c : password)
        keys.Update(static_cast<uint8_t>(c));
    Bytes out;
    for (uint8_t p : plain) {
        out.push_back(p ^ keys.StreamByte());
        keys.Update(p);
    }
    return out;
}

TEST(PkwareCipher, DeciphersAsTheFormatDescribesInPiecesOfAnyLength) {
    const std::string longPassword(40, 'x');
    struct Case {
        std::string password;
        size_t length;
        size_t piece; // Decrypt is called on pieces of this many bytes
    };
    const Case cases[] = {
        {"", 0, 1},
        {"pw", 1, 1},
        {"pw", 12, 5},
        {"pw", 4099, 4099},
        {longPassword, 70000, 333},
        {"\xff\x80 pass", 256, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.password + " / " + std::to_string(c.length));
        const Bytes plain = test::PseudoRandomBytes(c.length, static_cast<uint32_t>(c.length));
        const Bytes noted = NoteEncrypt(c.password, plain);

        const Password password(c.password);
        Bytes enciphered = plain;
        PkwareCipher(password).Encrypt(enciphered.data(), enciphered.size());
        EXPECT_EQ(enciphered, noted);

        PkwareCipher reader(password);
        Bytes deciphered = noted;
        for (size_t at = 0; at < deciphered.size(); at += c.piece)
            reader.Decrypt(deciphered.data() + at, std::min(c.piece, deciphered.size() - at));
        EXPECT_EQ(deciphered, plain);
        NoteKeys after;
        for (char ch : c.password)
            after.Update(static_cast<uint8_t>(ch));
        for (uint8_t p : plain)
            after.Update(p);
        EXPECT_EQ(reader.Keys(), (PkwareKeys{after.k[0], after.k[1], after.k[2]}));
    }
}

TEST(PkwareCipher, StreamsSideBySideDecipherAsEachAlone) {
    const std::vector<std::string> passwords = {"a", "", std::string(40, 'x'), "\xff pass",
                                                "fifth"};
    const std::vector<std::vector<size_t>> lengthSets = {
        {1000}, {5000, 5000}, {70000, 3, 0}, {4099, 70000, 12, 300}, {10, 20, 0, 40, 50}};
    for (const auto& lengths : lengthSets) {
        SCOPED_TRACE(std::to_string(lengths.size()) + " streams");
        std::vector<Bytes> plains, streams;
        std::vector<PkwareKeys> keys;
        for (size_t s = 0; s < lengths.size(); ++s) {
            plains.push_back(test::PseudoRandomBytes(lengths[s], static_cast<uint32_t>(s + 1)));
            streams.push_back(NoteEncrypt(passwords[s], plains.back()));
            keys.push_back(PkwareCipher(Password(passwords[s])).Keys());
        }
        std::vector<std::span<uint8_t>> data(streams.begin(), streams.end());
        PkwareCipher::DecryptSideBySide(keys, data);
        for (size_t s = 0; s < lengths.size(); ++s) {
            EXPECT_EQ(streams[s], plains[s]) << s;
            NoteKeys after;
            for (char ch : passwords[s])
                after.Update(static_cast<uint8_t>(ch));
            for (uint8_t p : plains[s])
                after.Update(p);
            EXPECT_EQ(keys[s], (PkwareKeys{after.k[0], after.k[1], after.k[2]})) << s;
        }
    }
}

} // namespace
} // namespace lumora
