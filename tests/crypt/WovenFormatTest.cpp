// SPDX-License-Identifier: GPL-2.0-or-later
// Woven layout; keys, order and seals against vectors computed independently from
// docs/FORMAT.md (other implementations of every primitive); what a reader must refuse.
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
    return LayoutWoven(kWovenBodyStart + 8 * (limitBytes + kWovenTagSize), 0);
}

WovenKeys Derive(const std::string& password, const WovenSalt& salt, uint32_t format) {
    WovenKeys keys;
    EXPECT_EQ(DeriveWovenKeys(Password(password), salt, format, keys), SealedOutcome::Ok);
    return keys;
}

struct LayoutCase {
    const char* what;
    uint64_t elements, ceilingCount;
    WovenFit fit;
    uint64_t bodyPositions, capacityBytes, limitBytes;
};

class Layout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(Layout, RegionsAndCapacity) {
    const LayoutCase& c = GetParam();
    SCOPED_TRACE(c.what);
    const WovenLayout layout = LayoutWoven(c.elements, c.ceilingCount);
    EXPECT_EQ(layout.fit, c.fit);
    EXPECT_EQ(layout.bodyPositions, c.bodyPositions);
    EXPECT_EQ(layout.capacityBytes, c.capacityBytes);
    EXPECT_EQ(layout.limitBytes, c.limitBytes);
}

// S + H = 14336 positions go to the salt and the header; the body needs 136 more for its tag
// and one byte at one bit per position. The ceiling is floor(count / 80) bytes, less 72.
constexpr uint64_t kMin = 14336 + 136;
INSTANTIATE_TEST_SUITE_P(
    Edges, Layout,
    ::testing::Values(
        LayoutCase{"nothing", 0, 0, WovenFit::TooSmall, 0, 0, 0},
        LayoutCase{"one short", kMin - 1, kMin, WovenFit::TooSmall, 0, 0, 0},
        LayoutCase{"smallest", kMin, kMin, WovenFit::Fits, 136, 1, 1},
        LayoutCase{"limit rounds down", kMin + 7, kMin, WovenFit::Fits, 143, 1, 1},
        LayoutCase{"limit steps up", kMin + 8, kMin, WovenFit::Fits, 144, 2, 2},
        LayoutCase{"ceiling below the overhead", 100'000, 80 * 72 + 79, WovenFit::Fits, 85'664, 0,
                   10'692},
        LayoutCase{"ceiling one byte", 100'000, 80 * 73, WovenFit::Fits, 85'664, 1, 10'692},
        LayoutCase{"ceiling rounds down", 100'000, 80 * 73 + 79, WovenFit::Fits, 85'664, 1, 10'692},
        LayoutCase{"ceiling above the limit", 100'000, 10'000'000, WovenFit::Fits, 85'664, 10'692,
                   10'692},
        LayoutCase{"largest", 0xFFFFFFFF, 0xFFFFFFFF, WovenFit::Fits, 0xFFFFFFFF - 14336,
                   53'687'019, 536'869'103},
        LayoutCase{"one too many", 0x100000000, 0x100000000, WovenFit::TooLarge, 0, 0, 0},
        LayoutCase{"12-megapixel JPEG", 17'000'000, 4'000'000, WovenFit::Fits, 16'985'664, 49'928,
                   2'123'192}));

struct KeyVector {
    uint32_t format;
    std::string keys; // position, header, body and tie key
};

class WovenKeyVector : public ::testing::TestWithParam<KeyVector> {};

TEST_P(WovenKeyVector, SubkeysOfThePasswordAndSalt) {
    const KeyVector& v = GetParam();
    UseWovenTestFormat(v.format == kWovenFormatTest);
    EXPECT_EQ(KnownWovenFormats(), std::vector<uint32_t>{v.format});
    const WovenKeys keys = Derive(kPassword, VectorSalt(), v.format);
    UseWovenTestFormat(false);
    EXPECT_EQ(ToHex(keys.PositionKey(), 32) + ToHex(keys.HeaderKey(), 32) +
                  ToHex(keys.BodyKey(), 32) + ToHex(keys.TieKey(), 32),
              v.keys);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, WovenKeyVector,
    ::testing::Values(KeyVector{kWovenFormatTest,
                                "d5ca024ac71d28ee625546007acdf57afca9dd81d19484386a8aa4e08f30dbce"
                                "26a83e3b4698c8d67ac7221d8764ceed4b050e81ac5f84b0355567e8266a384a"
                                "025f3b25c1ff462200ced09bb894ec91854fa7a0dbc770a97a70b58149076f8a"
                                "4f43130a12067b937ef768e16fba91adff7890b8a72b66c8634607f9a23cc14a"},
                      KeyVector{
                          kWovenFormatV1,
                          "b3316019c1a1bfe6b51e9041d784ec801eefcc6010ee0a339330c32d47bc3217"
                          "0670b813b2b62ed4aec157e416bc23640464cade3dbc1e8075414cc78dd8872b"
                          "a9a5932879571de4a08b4ae7ec5c36bbc0814e8f26d02f78840cc7ddcf3fdf36"
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
    const Bytes archive =
        test::ReadFile(std::string(LUMORA_TEST_DATA_DIR) + "/crypt/sealed-vector.zip");

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

TEST_F(Woven, OrderTiesAndSealsFollowTheVectors) {
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

    const SealedWovenHeader header = SealHeader(keys, archive.size());
    EXPECT_EQ(ToHex(header.data(), header.size()),
              "72a81521fd565678fb0ec3c583a05027a836b92074365c41eaf935bc6b5c2d45a0573167dc32c1df");
    const Bytes body = SealBody(header);
    EXPECT_EQ(WovenBodyBits(archive.size()), 8 * body.size());
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
    constexpr uint64_t kSome = kWovenMinElements + 4099;
    std::vector<bool> seen(kSome);
    for (const uint32_t element : Placed(WovenOrder(kSome, keys), 0, kSome)) {
        ASSERT_LT(element, kSome);
        ASSERT_FALSE(seen[element]) << element;
        seen[element] = true;
    }
    uint32_t out[1];
    EXPECT_FALSE(WovenOrder(kSome, keys).Fill(kSome, 1, out));
    EXPECT_FALSE(WovenOrder(kSome).Fill(S - 1, 2, out));
}

// Walking the order backwards names, for every element, the order index that places it:
// salt elements and keyed ones alike, counts whose keyed domain walks long or not at all.
TEST_F(Woven, IndicesOfUndoesTheOrder) {
    for (const uint64_t count : {kWovenMinElements, kWovenMinElements + 4099,
                                 (uint64_t{1} << 20) + kWovenSaltPositions + 1, kElements}) {
        SCOPED_TRACE(count);
        const WovenOrder order(count, keys);
        std::vector<uint32_t> indices(count);
        ASSERT_TRUE(order.IndicesOf(0, indices.size(), indices.data()));
        const std::vector<uint32_t> elements = Placed(order, 0, count);
        for (uint32_t element = 0; element < count; ++element)
            ASSERT_EQ(elements[indices[element]], element);
        uint32_t tail[2];
        ASSERT_TRUE(order.IndicesOf(count - 2, 2, tail));
        EXPECT_EQ(tail[1], indices[count - 1]);
        EXPECT_FALSE(order.IndicesOf(count - 1, 2, tail));
        EXPECT_FALSE(WovenOrder(count).IndicesOf(0, 1, tail)); // no key: the salt alone
    }
}

TEST_F(Woven, BodyOpensOnlyWholeUnderItsKeysAndHeader) {
    const SealedWovenHeader header = SealHeader(keys, archive.size());
    const Bytes body = SealBody(header);
    const WovenKeys otherPassword = Derive("x", VectorSalt(), kWovenFormatTest);
    const auto damaged = [&](const WovenKeys& with, const SealedWovenHeader& under, Bytes sealed) {
        SecretBytes opened(3);
        return OpenWovenBody(with, under, sealed.data(), sealed.size(), opened) ==
                   SealedOutcome::Damaged &&
               opened.Size() == 3;
    };
    EXPECT_TRUE(damaged(keys, header, Bytes(body.begin(), body.end() - 1)));
    EXPECT_TRUE(damaged(keys, header, Bytes(body.begin(), body.begin() + 15)));
    Bytes extended = body;
    extended.push_back(0);
    EXPECT_TRUE(damaged(keys, header, extended));
    EXPECT_TRUE(damaged(keys, SealHeader(keys, archive.size() + 1), body));
    EXPECT_TRUE(damaged(otherPassword, header, body));
    for (const size_t at : {size_t{0}, body.size() / 2, body.size() - 17, body.size() - 1}) {
        Bytes flipped = body;
        flipped[at] ^= 0x80;
        EXPECT_TRUE(damaged(keys, header, flipped)) << at;
    }
}

// A picture whose header region gives what it carries only to the position key that wrote it.
TEST_F(Woven, UnlockOpensOnlyTheRightHeader) {
    const SealedWovenHeader sealed = SealHeader(keys, archive.size());
    // Authentic, yet naming format 1: only a writer holding the key could make it.
    SealedWovenHeader otherFormat;
    const uint8_t plain[kWovenHeaderSize] = {1};
    crypto_aead_xchacha20poly1305_ietf_encrypt(otherFormat.data(), nullptr, plain, sizeof plain,
                                               keys.Salt().data(), 16, nullptr, Bytes(24).data(),
                                               keys.HeaderKey());
    struct Case {
        std::string what, password;
        SealedWovenHeader carried;
        WovenLayout in;
        bool readable;
        int cancelAtAsk;
        SealedOutcome expected;
    };
    std::vector<Case> cases = {
        {"right", kPassword, sealed, layout, true, 0, SealedOutcome::Ok},
        {"wrong password", kPassword.substr(1), sealed, layout, true, 0, SealedOutcome::NotOpened},
        {"other format", kPassword, otherFormat, layout, true, 0, SealedOutcome::Damaged},
        {"too long for the picture", kPassword, sealed, LayoutHolding(146), true, 0,
         SealedOutcome::Damaged},
        {"too small", kPassword, sealed, LayoutWoven(kWovenMinElements - 1, 0), true, 0,
         SealedOutcome::NotOpened},
        {"unreadable", kPassword, sealed, layout, false, 0, SealedOutcome::ReadFailed},
        {"cancelled after deriving", kPassword, sealed, layout, true, 2, SealedOutcome::Cancelled},
    };
    for (size_t at = 0; at < sealed.size(); ++at) {
        cases.push_back({"flip " + std::to_string(at), kPassword, sealed, layout, true, 0,
                         SealedOutcome::NotOpened});
        cases.back().carried[at] ^= 0x01;
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const WovenHeaderReader read = [&](const WovenKeys& with, SealedWovenHeader& out) {
            const bool same = std::memcmp(with.PositionKey(), keys.PositionKey(), 32) == 0;
            out = same ? c.carried : SealedWovenHeader{};
            return c.readable;
        };
        int asked = 0;
        WovenKeys opened;
        WovenHeader header;
        EXPECT_EQ(UnlockWoven(Password(c.password), VectorSalt(), c.in, read, opened, header,
                              [&] { return ++asked == c.cancelAtAsk; }),
                  c.expected);
        EXPECT_EQ(opened.FormatId(), c.expected == SealedOutcome::Ok ? kWovenFormatTest : 0u);
        EXPECT_EQ(header.archiveLength, c.expected == SealedOutcome::Ok ? archive.size() : 0u);
    }
    // The writer refuses what the reader would call damaged.
    SealedWovenHeader refused;
    EXPECT_EQ(SealWovenHeader(keys, LayoutHolding(146), archive.size(), refused),
              SealedOutcome::TooLarge);
    EXPECT_EQ(SealWovenHeader(keys, LayoutWoven(kWovenMinElements - 1, 0), 0, refused),
              SealedOutcome::TooLarge);
}

} // namespace
} // namespace lumora
