// SPDX-License-Identifier: GPL-2.0-or-later
// Parities gathered in the picture's own order must be the ones a reader finds by looking
// up the element of each order index: for every kind of cover, with elements left out of
// the numbering (transparent pixels, the tRNS colour) and JPEG rows padded to whole MCUs.
#include "engine/OrderedParities.h"

#include "../weave/CoverPictures.h"
#include "crypt/WovenLayout.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <png.h>

namespace lumora {
namespace {

using test::Bytes;

struct CoverCase {
    const char* name;
    Bytes (*make)();
};
void PrintTo(const CoverCase& c, std::ostream* os) {
    *os << c.name;
}

test::JpegRecipe Jpeg(int components, bool subsampled, int width) {
    test::JpegRecipe recipe;
    recipe.components = components;
    recipe.subsampled = subsampled;
    recipe.width = width;
    recipe.height = 100;
    return recipe;
}

test::PngRecipe Png(int colourType, bool transparentColour) {
    test::PngRecipe recipe;
    recipe.colourType = colourType;
    recipe.transparentColour = transparentColour;
    recipe.width = 200;
    recipe.height = 110;
    return recipe;
}

const CoverCase kCovers[] = {
    {"JPEG 4:2:0, rows padded", [] { return test::MakeJpeg(Jpeg(3, true, 152)); }},
    {"JPEG 4:4:4", [] { return test::MakeJpeg(Jpeg(3, false, 120)); }},
    {"JPEG grey", [] { return test::MakeJpeg(Jpeg(1, false, 200)); }},
    {"PNG RGB", [] { return test::MakePng(Png(PNG_COLOR_TYPE_RGB, false)); }},
    {"PNG RGBA, transparent pixels", [] { return test::MakePng(Png(PNG_COLOR_TYPE_RGBA, false)); }},
    {"PNG grey and alpha", [] { return test::MakePng(Png(PNG_COLOR_TYPE_GRAY_ALPHA, false)); }},
    {"PNG RGB with tRNS", [] { return test::MakePng(Png(PNG_COLOR_TYPE_RGB, true)); }},
    {"BMP 24 bottom-up", [] { return test::MakeBmp(24, false, 0, 0xFF0000, 101, 60); }},
    {"BMP 32 top-down", [] { return test::MakeBmp(32, true, 0, 0xFF0000, 100, 61); }},
};

class OrderedParitiesTest : public ::testing::TestWithParam<CoverCase> {
protected:
    void SetUp() override { UseWovenTestFormat(true); }
    void TearDown() override { UseWovenTestFormat(false); }
};

TEST_P(OrderedParitiesTest, MatchTheParityOfEachOrderIndexElement) {
    const std::unique_ptr<CoverImage> image = test::MustRead(GetParam().make());
    // Flat pictures get a pattern that differs from row to row (7 divides no row's length).
    test::ChangeEvery(*image, 7);
    std::unique_ptr<weave::WovenCover> cover;
    ASSERT_EQ(weave::WovenCover::Make(*image, cover), CoverStatus::Ok);
    const uint64_t count = cover->Count();
    ASSERT_GT(count, kWovenMinElements);
    WovenKeys keys;
    ASSERT_EQ(NewWovenKeys(Password("ordered parities"), keys), SealedOutcome::Ok);
    const WovenOrder order(count, keys);

    uint64_t heard = 0;
    OrderedParities gathered;
    ASSERT_EQ(gathered.Gather(*cover, order,
                              [&](uint64_t reached) {
                                  EXPECT_GT(reached, heard);
                                  heard = reached;
                                  return true;
                              }),
              weave::TrellisStatus::Ok);
    EXPECT_EQ(heard, count);

    std::vector<uint32_t> elements(count);
    ASSERT_TRUE(order.Fill(0, count, elements.data()));
    Bytes expected(count), found(count);
    cover->Parities(elements.data(), count, expected.data());
    gathered.Unpack(0, count, found.data());
    size_t ones = 0;
    for (uint64_t j = 0; j < count; ++j) {
        ASSERT_EQ(found[j], expected[j]) << "order index " << j;
        ones += found[j];
    }
    // A cover of one parity throughout would hide a map that never set a bit.
    EXPECT_GT(ones, count / 20);
    EXPECT_LT(ones, count - count / 20);
    // Pieces that start and end off the map's bytes and words.
    for (const uint64_t first : {uint64_t{1}, uint64_t{7}, uint64_t{8}, uint64_t{63}, count / 2})
        for (const size_t length : {size_t{1}, size_t{9}, size_t{70}}) {
            const size_t piece = static_cast<size_t>(std::min<uint64_t>(length, count - first));
            Bytes part(piece);
            gathered.Unpack(first, piece, part.data());
            EXPECT_TRUE(
                std::equal(part.begin(), part.end(), found.begin() + static_cast<ptrdiff_t>(first)))
                << first << " " << piece;
        }

    const WovenRegion body = WovenBodyRegion(count);
    const size_t bits = static_cast<size_t>(body.positions / 3);
    std::vector<uint8_t> fromMap, fromCover;
    ASSERT_EQ(gathered.Extract(body, bits, fromMap), weave::TrellisStatus::Ok);
    ASSERT_EQ(ExtractRegion(*cover, order, body, bits, fromCover, {}), weave::TrellisStatus::Ok);
    EXPECT_EQ(fromMap, fromCover);
}

TEST_P(OrderedParitiesTest, RefuseAnOrderWithoutKeyAndStopWhenAsked) {
    const std::unique_ptr<CoverImage> image = test::MustRead(GetParam().make());
    std::unique_ptr<weave::WovenCover> cover;
    ASSERT_EQ(weave::WovenCover::Make(*image, cover), CoverStatus::Ok);
    WovenKeys keys;
    ASSERT_EQ(NewWovenKeys(Password("ordered parities"), keys), SealedOutcome::Ok);
    OrderedParities gathered;
    EXPECT_EQ(gathered.Gather(*cover, WovenOrder(cover->Count()), {}),
              weave::TrellisStatus::Unsolvable);
    EXPECT_EQ(gathered.Gather(*cover, WovenOrder(cover->Count() - 1, keys), {}),
              weave::TrellisStatus::Unsolvable);
    EXPECT_EQ(
        gathered.Gather(*cover, WovenOrder(cover->Count(), keys), [](uint64_t) { return false; }),
        weave::TrellisStatus::Cancelled);
}

INSTANTIATE_TEST_SUITE_P(Kinds, OrderedParitiesTest, ::testing::ValuesIn(kCovers));

} // namespace
} // namespace lumora
