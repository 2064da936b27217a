// SPDX-License-Identifier: GPL-2.0-or-later
#include "crypt/SHA.h"
#include "CryptTestUtil.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <stdexcept>

using namespace lumora;
using namespace lumora::test;

namespace {

const char* const kAddDataError = "FileCrypt ERROR: in CSHA::AddData(), Data Length should be > 0!";
const char* const kFinalDigestError =
    "FileCrypt ERROR: in CSHA::FinalDigest(), No data Added before call!";

std::string Digest(CSHA& sha) {
    unsigned char out[32];
    sha.FinalDigest(out);
    return ToHex(out, 32);
}

std::string DigestInPieces(const std::string& message, size_t piece) {
    CSHA sha;
    for (size_t i = 0; i < message.size(); i += piece) {
        const size_t n = std::min(piece, message.size() - i);
        sha.AddData(reinterpret_cast<const unsigned char*>(message.data() + i),
                    static_cast<int>(n));
    }
    return Digest(sha);
}

} // namespace

TEST(Sha, ReproducesTheStandardExamplesWholeAndInPieces) {
    const std::pair<std::string, const char*> examples[] = {
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& [message, expected] : examples) {
        SCOPED_TRACE(message.substr(0, 10));
        for (size_t piece :
             {message.size(), size_t{1}, size_t{55}, size_t{56}, size_t{63}, size_t{64}})
            EXPECT_EQ(DigestInPieces(message, piece), expected) << "pieces of " << piece;
    }
}

// Lengths around the block and length-field boundaries, against the sha256sum tool.
TEST(Sha, AgreesWithSha256sumAroundBlockBoundaries) {
    TempDir dir;
    for (size_t length : {1, 55, 56, 57, 63, 64, 65, 119, 120, 127, 128, 129, 1000}) {
        SCOPED_TRACE(length);
        const auto bytes = PseudoRandomBytes(length, static_cast<uint32_t>(length));
        WriteFile(dir / "message", bytes);
        CSHA sha;
        sha.AddData(bytes.data(), static_cast<int>(bytes.size()));
        EXPECT_EQ(Digest(sha), Sha256Hex(dir / "message"));
    }
}

TEST(Sha, RefusesEmptyPiecesAndDigestsOfNothing) {
    CSHA sha;
    EXPECT_EQ(ErrorOf([&] { Digest(sha); }), kFinalDigestError);
    const unsigned char abc[] = {'a', 'b', 'c'};
    sha.AddData(abc, 3);
    EXPECT_EQ(ErrorOf([&] { sha.AddData(abc, 0); }), kAddDataError);
    EXPECT_EQ(ErrorOf([&] { sha.AddData(abc, -5); }), kAddDataError);
    EXPECT_EQ(Digest(sha), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(ErrorOf([&] { Digest(sha); }), kFinalDigestError);
}

TEST(Sha, StartsAFreshMessageAfterEachDigest) {
    CSHA sha;
    const std::string first(100, 'x');
    sha.AddData(reinterpret_cast<const unsigned char*>(first.data()), 100);
    Digest(sha);
    const unsigned char abc[] = {'a', 'b', 'c'};
    sha.AddData(abc, 3);
    EXPECT_EQ(Digest(sha), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");

    sha.AddData(abc, 3);
    sha.Reset();
    sha.AddData(abc, 3);
    EXPECT_EQ(Digest(sha), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}
