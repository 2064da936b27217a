// SPDX-License-Identifier: GPL-2.0-or-later
// Woven keys, order and seals against vectors computed independently (Python: the
// cryptography package's Argon2id and ChaCha20-Poly1305, hashlib's BLAKE2b, ChaCha20 and the
// order written out from docs/FORMAT.md), then what a reader must refuse.
#include "crypt/WovenOrder.h"
#include "crypt/WovenSeal.h"

#include "CryptTestUtil.h"
#include "support/TestFiles.h"

#include <cstring>
#include <gtest/gtest.h>
#include <numeric>
#include <sodium.h>

namespace lumora {
namespace {

using Bytes = std::vector<uint8_t>;
using test::ToHex;

const std::string kPassword = "woven vector: every byte of this pässphrase counts";
constexpr uint64_t kElements = 1'000'000;
constexpr uint64_t S = kWovenSaltPositions, H = kWovenHeaderPositions;

WovenSalt VectorSalt() {
    WovenSalt salt;
    std::iota(salt.begin(), salt.end(), uint8_t{0});
    return salt;
}

// The layout of the smallest picture whose body region carries limitBytes of archive.
WovenLayout LayoutHolding(uint64_t limitBytes) {
    return LayoutWoven(kWovenBodyStart + 16 * (limitBytes + kWovenTagSize), 0);
}

WovenKeys Derive(const std::string& password, const WovenSalt& salt, uint32_t format) {
    WovenKeys keys;
    EXPECT_EQ(DeriveWovenKeys(Password(password), salt, format, keys), SealedOutcome::Ok);
    return keys;
}

Bytes VectorArchive() {
    return test::ReadFile(std::string(LUMORA_TEST_DATA_DIR) + "/crypt/sealed-vector.zip");
}

struct KeyVector {
    uint32_t format;
    const char *position, *header, *body, *tie;
};

class WovenKeyVector : public ::testing::TestWithParam<KeyVector> {};

TEST_P(WovenKeyVector, SubkeysOfThePasswordAndSalt) {
    const KeyVector& v = GetParam();
    UseWovenTestFormat(v.format == kWovenFormatTest);
    EXPECT_EQ(KnownWovenFormats(), std::vector<uint32_t>{v.format});
    const WovenKeys keys = Derive(kPassword, VectorSalt(), v.format);
    UseWovenTestFormat(false);
    EXPECT_EQ(ToHex(keys.PositionKey(), 32), v.position);
    EXPECT_EQ(ToHex(keys.HeaderKey(), 32), v.header);
    EXPECT_EQ(ToHex(keys.BodyKey(), 32), v.body);
    EXPECT_EQ(ToHex(keys.TieKey(), 32), v.tie);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, WovenKeyVector,
    ::testing::Values(KeyVector{kWovenFormatTest,
                                "d5ca024ac71d28ee625546007acdf57afca9dd81d19484386a8aa4e08f30dbce",
                                "26a83e3b4698c8d67ac7221d8764ceed4b050e81ac5f84b0355567e8266a384a",
                                "025f3b25c1ff462200ced09bb894ec91854fa7a0dbc770a97a70b58149076f8a",
                                "4f43130a12067b937ef768e16fba91adff7890b8a72b66c8634607f9a23cc14a"},
                      KeyVector{
                          kWovenFormatV1,
                          "b3316019c1a1bfe6b51e9041d784ec801eefcc6010ee0a339330c32d47bc3217",
                          "0670b813b2b62ed4aec157e416bc23640464cade3dbc1e8075414cc78dd8872b",
                          "a9a5932879571de4a08b4ae7ec5c36bbc0814e8f26d02f78840cc7ddcf3fdf36",
                          "77bdd6ddadbe3edf1f46aa032791df68a3e75038cf802be5b8ce5e38d84f09d1"}));

class Woven : public ::testing::Test {
protected:
    void SetUp() override {
        UseWovenTestFormat(true);
        keys = Derive(kPassword, VectorSalt(), kWovenFormatTest);
    }
    void TearDown() override { UseWovenTestFormat(false); }
    WovenKeys keys;
    const WovenLayout layout = LayoutWoven(kElements, kElements);
    const Bytes archive = VectorArchive();

    SealedWovenHeader SealHeader(const WovenKeys& with, uint64_t length) const {
        SealedWovenHeader sealed{};
        EXPECT_EQ(SealWovenHeader(with, layout, length, sealed), SealedOutcome::Ok);
        return sealed;
    }
    Bytes SealBody(const SealedWovenHeader& header) const {
        Bytes body;
        EXPECT_EQ(SealWovenBody(keys, header, archive.data(), archive.size(), body),
                  SealedOutcome::Ok);
        return body;
    }
};

std::vector<uint32_t> Placed(const WovenOrder& order, uint64_t first, size_t count) {
    std::vector<uint32_t> elements(count);
    EXPECT_TRUE(order.Fill(first, count, elements.data()));
    return elements;
}

TEST_F(Woven, OrderAndTieBitsFollowTheVectors) {
    const WovenOrder order(kElements, keys);
    const std::vector<uint32_t> salt = {416092, 420318, 618205, 615664,
                                        97130,  515551, 945373, 827901};
    EXPECT_EQ(Placed(order, 0, 8), salt);
    EXPECT_EQ(Placed(WovenOrder(kElements), 0, 8), salt);
    EXPECT_EQ(Placed(order, S, 8),
              (std::vector<uint32_t>{340257, 470828, 49814, 398373, 847426, 780512, 6549, 939707}));
    EXPECT_EQ(Placed(order, S + H, 8), (std::vector<uint32_t>{87899, 857878, 491853, 869203, 538829,
                                                              842900, 776244, 991442}));
    std::string ties;
    for (const auto& [first, count] : {std::pair{0, 32}, std::pair{1000, 16}}) {
        Bytes bits(count);
        ASSERT_TRUE(FillWovenTieBits(keys, first, bits.size(), bits.data()));
        for (const uint8_t bit : bits)
            ties += static_cast<char>('0' + bit);
    }
    EXPECT_EQ(ties, "01101011011000010011001001011010"
                    "0111100010001010");
}

TEST_F(Woven, HeaderAndBodyFollowTheVectors) {
    const SealedWovenHeader header = SealHeader(keys, archive.size());
    EXPECT_EQ(ToHex(header.data(), header.size()),
              "72a81521fd565678fb0ec3c583a05027a836b92074365c41eaf935bc6b5c2d45a0573167dc32c1df");
    const Bytes body = SealBody(header);
    EXPECT_EQ(ToHex(body),
              "fdc1041fd0c96af61b9c2abe9f489f7775f2b15780ec5c13aa25b291ab3eedfaa3c150d5c1a23d5ed868"
              "9ed2587f9fd5649836274019f49dd8570df9fb98f9e1eb3af5cf59763a15dbb18d1f36a4f55441fa863d"
              "c8d48b229008d8791dfdaff4aea24a138a85a77b40787797f56e038c3a3ad577951ab24abf172277c2e8"
              "5f876ae38d611c9dd6329c18a1aac60a079947c89f7e9d95019ee715b34af92dda77d884ee");
    SecretBytes opened;
    ASSERT_EQ(OpenWovenBody(keys, header, body.data(), body.size(), opened), SealedOutcome::Ok);
    EXPECT_EQ(Bytes(opened.Data(), opened.Data() + opened.Size()), archive);

    // Bits go least significant first: 0x72 is 0100 1110.
    Bytes bits(8 * header.size()), packed(header.size());
    UnpackWovenBits(header.data(), header.size(), bits.data());
    EXPECT_EQ(Bytes(bits.begin(), bits.begin() + 8), (Bytes{0, 1, 0, 0, 1, 1, 1, 0}));
    PackWovenBits(bits.data(), bits.size(), packed.data());
    EXPECT_EQ(ToHex(packed), ToHex(header.data(), header.size()));
}

// Salt, header and body regions together list every element once.
TEST_F(Woven, OrderListsEveryElementOnce) {
    for (const uint64_t elements : {kWovenMinElements, kWovenMinElements + 4099}) {
        const std::vector<uint32_t> placed = Placed(WovenOrder(elements, keys), 0, elements);
        std::vector<bool> seen(elements);
        for (const uint32_t element : placed) {
            ASSERT_LT(element, elements);
            ASSERT_FALSE(seen[element]) << element;
            seen[element] = true;
        }
        uint32_t out[1];
        EXPECT_FALSE(WovenOrder(elements, keys).Fill(elements, 1, out));
        EXPECT_FALSE(WovenOrder(elements).Fill(S - 1, 2, out));
    }
}

TEST_F(Woven, HeaderOpensOnlyUnderItsKeysAndLayout) {
    const SealedWovenHeader sealed = SealHeader(keys, archive.size());
    WovenSalt otherSalt = VectorSalt();
    otherSalt[15] ^= 1;
    // Authentic, under another format id: only a writer holding the key could make it.
    SealedWovenHeader otherFormat;
    uint8_t plain[kWovenHeaderSize] = {1};
    crypto_aead_xchacha20poly1305_ietf_encrypt(otherFormat.data(), nullptr, plain, sizeof plain,
                                               keys.Salt().data(), 16, nullptr, Bytes(24).data(),
                                               keys.HeaderKey());
    struct Case {
        std::string what;
        WovenKeys keys;
        SealedWovenHeader sealed;
        WovenLayout layout;
        SealedOutcome expected;
    };
    std::vector<Case> cases;
    auto add = [&](std::string what, WovenKeys with, SealedWovenHeader header, WovenLayout in,
                   SealedOutcome expected) {
        cases.push_back({std::move(what), std::move(with), header, in, expected});
    };
    add("right", Derive(kPassword, VectorSalt(), kWovenFormatTest), sealed, layout,
        SealedOutcome::Ok);
    add("other password", Derive(kPassword + " ", VectorSalt(), kWovenFormatTest), sealed, layout,
        SealedOutcome::NotOpened);
    add("other salt", Derive(kPassword, otherSalt, kWovenFormatTest), sealed, layout,
        SealedOutcome::NotOpened);
    add("no keys", WovenKeys(), sealed, layout, SealedOutcome::NotOpened);
    for (size_t at = 0; at < sealed.size(); ++at) {
        SealedWovenHeader flipped = sealed;
        flipped[at] ^= 0x01;
        add("flip " + std::to_string(at), Derive(kPassword, VectorSalt(), kWovenFormatTest),
            flipped, layout, SealedOutcome::NotOpened);
    }
    add("longer than the picture holds", Derive(kPassword, VectorSalt(), kWovenFormatTest), sealed,
        LayoutHolding(146), SealedOutcome::Damaged);
    add("other format", Derive(kPassword, VectorSalt(), kWovenFormatTest), otherFormat, layout,
        SealedOutcome::Damaged);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WovenHeader header;
        ASSERT_EQ(OpenWovenHeader(c.keys, c.sealed, c.layout, header), c.expected);
        if (c.expected == SealedOutcome::Ok) {
            EXPECT_EQ(header.archiveLength, archive.size());
        }
    }
    // The writer refuses what the reader would call damaged.
    SealedWovenHeader refused;
    EXPECT_EQ(SealWovenHeader(keys, LayoutHolding(146), archive.size(), refused),
              SealedOutcome::TooLarge);
    EXPECT_EQ(SealWovenHeader(keys, LayoutWoven(kWovenMinElements - 1, 0), 0, refused),
              SealedOutcome::TooLarge);
}

TEST_F(Woven, BodyOpensOnlyWholeUnderItsKeysAndHeader) {
    const SealedWovenHeader header = SealHeader(keys, archive.size());
    const Bytes body = SealBody(header);
    struct Case {
        std::string what;
        Bytes body;
        SealedWovenHeader header;
        const WovenKeys* keys;
    };
    const WovenKeys rederived = Derive(kPassword, VectorSalt(), kWovenFormatTest);
    const WovenKeys otherPassword = Derive("x", VectorSalt(), kWovenFormatTest);
    std::vector<Case> cases = {
        {"cut", Bytes(body.begin(), body.end() - 1), header, &keys},
        {"extended", Bytes(body.begin(), body.end()), header, &keys},
        {"tag alone", Bytes(body.end() - 16, body.end()), header, &keys},
        {"shorter than a tag", Bytes(body.begin(), body.begin() + 15), header, &keys},
        {"other header", body, SealHeader(keys, archive.size() + 1), &keys},
        {"other password", body, header, &otherPassword},
    };
    cases[1].body.push_back(0);
    for (const size_t at : {size_t{0}, body.size() / 2, body.size() - 17, body.size() - 1}) {
        cases.push_back({"flip " + std::to_string(at), body, header, &keys});
        cases.back().body[at] ^= 0x80;
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SecretBytes opened(3);
        EXPECT_EQ(OpenWovenBody(*c.keys, c.header, c.body.data(), c.body.size(), opened),
                  SealedOutcome::Damaged);
        EXPECT_EQ(opened.Size(), 3u);
    }
    SecretBytes opened;
    EXPECT_EQ(OpenWovenBody(rederived, header, body.data(), body.size(), opened),
              SealedOutcome::Ok);
}

// A picture whose header region gives the sealed header only to the position key that wrote it.
TEST_F(Woven, UnlockTriesTheKnownFormats) {
    const SealedWovenHeader sealed = SealHeader(keys, archive.size());
    const WovenHeaderReader picture = [&](const WovenKeys& with, SealedWovenHeader& out) {
        const bool same = std::memcmp(with.PositionKey(), keys.PositionKey(), 32) == 0;
        out = same ? sealed : SealedWovenHeader{};
        return true;
    };
    const WovenHeaderReader failing = [](const WovenKeys&, SealedWovenHeader&) { return false; };
    int asked = 0;
    const CancelCheck cancelAtSecondAsk = [&] { return ++asked == 2; };
    struct Case {
        std::string what, password;
        WovenLayout layout;
        WovenHeaderReader read;
        CancelCheck cancelled;
        SealedOutcome expected;
    } cases[] = {
        {"right", kPassword, layout, picture, {}, SealedOutcome::Ok},
        {"wrong password", kPassword.substr(1), layout, picture, {}, SealedOutcome::NotOpened},
        {"too small",
         kPassword,
         LayoutWoven(kWovenMinElements - 1, 0),
         picture,
         {},
         SealedOutcome::NotOpened},
        {"too long for the picture",
         kPassword,
         LayoutWoven(kWovenMinElements, 0),
         picture,
         {},
         SealedOutcome::Damaged},
        {"unreadable", kPassword, layout, failing, {}, SealedOutcome::ReadFailed},
        {"cancelled", kPassword, layout, picture, cancelAtSecondAsk, SealedOutcome::Cancelled},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WovenKeys opened;
        WovenHeader header;
        EXPECT_EQ(UnlockWoven(Password(c.password), VectorSalt(), c.layout, c.read, opened, header,
                              c.cancelled),
                  c.expected);
        EXPECT_EQ(opened.Empty(), c.expected != SealedOutcome::Ok);
        if (c.expected == SealedOutcome::Ok) {
            EXPECT_EQ(header.archiveLength, archive.size());
            EXPECT_EQ(opened.FormatId(), kWovenFormatTest);
        }
    }
}

TEST_F(Woven, TieBitsAreEvenAndDifferPerKey) {
    const WovenKeys other = Derive(kPassword, WovenSalt{}, kWovenFormatTest);
    Bytes mine(65536), theirs(65536);
    ASSERT_TRUE(FillWovenTieBits(keys, 777, mine.size(), mine.data()));
    ASSERT_TRUE(FillWovenTieBits(other, 777, theirs.size(), theirs.data()));
    size_t ones = 0, agree = 0;
    for (size_t i = 0; i < mine.size(); ++i) {
        ones += mine[i];
        agree += mine[i] == theirs[i];
    }
    EXPECT_NEAR(static_cast<double>(ones), 32768, 800);
    EXPECT_NEAR(static_cast<double>(agree), 32768, 800);
    EXPECT_FALSE(FillWovenTieBits(WovenKeys(), 0, 1, mine.data()));
}

} // namespace
} // namespace lumora
