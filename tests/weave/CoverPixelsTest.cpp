// SPDX-License-Identifier: GPL-2.0-or-later
#include "CoverPictures.h"
#include "picture/PngChunks.h"
#include "weave/BmpCover.h"
#include "weave/HillCosts.h"
#include "weave/PngCover.h"
#include "weave/PngLibrary.h"
#include "weave/WovenCover.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <png.h>
#include <set>

namespace lumora::test {
namespace {

struct PngCase {
    const char* name;
    PngRecipe recipe;
    uint64_t stride;
};
void PrintTo(const PngCase& c, std::ostream* out) {
    *out << c.name;
}

class PngCoverTest : public testing::TestWithParam<PngCase> {};

TEST_P(PngCoverTest, ChangesOnlyUsableSamplesAndKeepsEveryOtherChunk) {
    const PngCase& c = GetParam();
    const Bytes original = MakePng(c.recipe);
    const Bytes samples = DecodePng(original);
    std::unique_ptr<CoverImage> cover = MustRead(original);
    const auto* png = dynamic_cast<const PngCover*>(cover.get());
    ASSERT_NE(png, nullptr);
    EXPECT_EQ(png->Interlaced(), c.recipe.interlaced);
    const uint32_t channels = png->Layout().channels, pixelBytes = png->Layout().pixelBytes;
    const auto sampleOf = [&](uint64_t i) { return i / channels * pixelBytes + i % channels; };
    ASSERT_EQ(cover->ElementCount(), samples.size() / pixelBytes * channels);
    for (uint64_t i = 0; i < cover->ElementCount(); ++i) {
        ASSERT_EQ(cover->Value(i), samples[sampleOf(i)]) << i;
        EXPECT_TRUE(cover->Usable(i) || !cover->AllowedSteps(i).Any()) << i;
    }
    const std::vector<int> values = ChangeEvery(*cover, c.stride);
    Bytes expected = samples;
    for (uint64_t i = 0; i < values.size(); ++i)
        expected[sampleOf(i)] = static_cast<uint8_t>(values[i]);
    Bytes written;
    ASSERT_EQ(cover->Write(written), CoverStatus::Ok);
    EXPECT_EQ(ChunksBesidesIdat(written), ChunksBesidesIdat(original));
    EXPECT_EQ(DecodePng(written), expected);

    // The changed picture has the same usable elements.
    std::unique_ptr<CoverImage> again = MustRead(written);
    EXPECT_EQ(again->UsableCount(), cover->UsableCount());
    for (uint64_t i = 0; i < cover->ElementCount(); ++i)
        EXPECT_EQ(again->Usable(i), cover->Usable(i)) << i;
}

constexpr int kGrey = PNG_COLOR_TYPE_GRAY, kGreyAlpha = PNG_COLOR_TYPE_GRAY_ALPHA;
constexpr int kRgb = PNG_COLOR_TYPE_RGB, kRgba = PNG_COLOR_TYPE_RGB_ALPHA;

const PngCase kPngCases[] = {
    {"grey", {.colourType = kGrey}, 3},
    {"grey_alpha", {.colourType = kGreyAlpha}, 1},
    {"rgb", {.colourType = kRgb}, 2},
    {"rgba", {.colourType = kRgba}, 1},
    {"rgb_interlaced", {.colourType = kRgb, .interlaced = true}, 2},
    {"grey_alpha_interlaced", {.colourType = kGreyAlpha, .interlaced = true}, 1},
    {"grey_transparent_colour", {.colourType = kGrey, .transparentColour = true}, 1},
    {"rgb_transparent_colour", {.colourType = kRgb, .transparentColour = true}, 1},
    {"rgb_transparent_interlaced",
     {.colourType = kRgb, .interlaced = true, .transparentColour = true},
     1},
    {"rgb_unchanged", {.colourType = kRgb, .transparentColour = true}, 0},
};

INSTANTIATE_TEST_SUITE_P(Kinds, PngCoverTest, testing::ValuesIn(kPngCases),
                         testing::PrintToStringParamName());

// The steps a sample may take as a letter: 'b'oth, 'u'p, 'd'own or none ('.').
char StepLetter(const Steps& s) {
    return s.down && s.up ? 'b' : s.up ? 'u' : s.down ? 'd' : '.';
}

// One pixel, and which steps each of its samples may take: 'b'oth, 'u'p, 'd'own or none.
struct RuleCase {
    const char* name;
    int colourType;
    bool transparentColour; // grey 100, or RGB (100, 100, 100)
    std::vector<int> pixel;
    const char* steps;
};
void PrintTo(const RuleCase& c, std::ostream* out) {
    *out << c.name;
}

class PixelRuleTest : public testing::TestWithParam<RuleCase> {};

TEST_P(PixelRuleTest, LeavesOutTransparentPixelsAndNeverStepsNextToTheTransparentColour) {
    const RuleCase& c = GetParam();
    std::unique_ptr<CoverImage> cover = MustRead(MakePng({.colourType = c.colourType,
                                                          .transparentColour = c.transparentColour,
                                                          .pixels = {c.pixel}}));
    std::string steps;
    for (uint64_t i = 0; i < cover->ElementCount(); ++i) {
        const Steps allowed = cover->AllowedSteps(i);
        steps += StepLetter(allowed);
    }
    EXPECT_EQ(steps, c.steps);
    const bool usable = std::string(c.steps).find_first_not_of('.') != std::string::npos;
    EXPECT_EQ(cover->UsableCount(), usable ? cover->ElementCount() : 0);
}

const RuleCase kRuleCases[] = {
    {"grey_at_the_colour", kGrey, true, {100}, "."},
    {"grey_one_above", kGrey, true, {101}, "."},
    {"grey_one_below", kGrey, true, {99}, "."},
    {"grey_two_above", kGrey, true, {102}, "u"},
    {"grey_two_below", kGrey, true, {98}, "d"},
    {"grey_three_above", kGrey, true, {103}, "b"},
    {"grey_black", kGrey, true, {0}, "u"},
    {"grey_white_without_colour", kGrey, false, {255}, "d"},
    {"rgb_one_step_in_two_channels", kRgb, true, {101, 99, 100}, "..."},
    {"rgb_two_steps_in_one", kRgb, true, {102, 100, 100}, "ubb"},
    {"rgb_two_steps_in_two", kRgb, true, {102, 98, 101}, "udb"},
    {"rgb_three_steps_in_one", kRgb, true, {103, 98, 100}, "bbb"},
    {"rgb_far_at_the_ends", kRgb, true, {0, 101, 255}, "ubd"},
    {"grey_alpha_transparent", kGreyAlpha, false, {50, 0}, "."},
    {"grey_alpha_nearly_transparent", kGreyAlpha, false, {50, 1}, "b"},
    {"rgba_transparent", kRgba, false, {1, 2, 3, 0}, "..."},
    {"rgba_half", kRgba, false, {255, 0, 7, 128}, "dub"},
};

INSTANTIATE_TEST_SUITE_P(Pixels, PixelRuleTest, testing::ValuesIn(kRuleCases),
                         testing::PrintToStringParamName());

struct BmpCase {
    const char* name;
    unsigned bits;
    bool topDown;
    bool bitfields;
};
void PrintTo(const BmpCase& c, std::ostream* out) {
    *out << c.name;
}

class BmpCoverTest : public testing::TestWithParam<BmpCase> {};

TEST_P(BmpCoverTest, ChangesTheSampleBytesOfAFileCopyAndNothingElse) {
    const BmpCase& c = GetParam();
    const Bytes original = MakeBmp(c.bits, c.topDown, c.bitfields ? 3 : 0);
    std::unique_ptr<CoverImage> cover = MustRead(original);
    ASSERT_EQ(cover->ElementCount(), 3u * 2 * 3);
    const std::vector<int> values = ChangeEvery(*cover, 2);
    // Element (x, y, red/green/blue) from the top left, stored bottom-up unless top-down.
    Bytes expected = original;
    const size_t rowBytes = (3 * c.bits + 31) / 32 * 4, offset = c.bitfields ? 66 : 54;
    for (size_t i = 0; i < values.size(); ++i) {
        const size_t x = i / 3 % 3, y = i / 9, channel = i % 3;
        const size_t row = c.topDown ? y : 1 - y;
        expected[offset + row * rowBytes + x * c.bits / 8 + 2 - channel] =
            static_cast<uint8_t>(values[i]);
    }
    Bytes written;
    ASSERT_EQ(cover->Write(written), CoverStatus::Ok);
    EXPECT_EQ(written, expected);
    EXPECT_NE(written, original);
}

const BmpCase kBmpCases[] = {
    {"rgb24_bottom_up", 24, false, false},
    {"rgb24_top_down", 24, true, false},
    {"rgb32_bottom_up", 32, false, false},
    {"rgb32_top_down_bitfields", 32, true, true},
};

INSTANTIATE_TEST_SUITE_P(Kinds, BmpCoverTest, testing::ValuesIn(kBmpCases),
                         testing::PrintToStringParamName());

TEST(PixelCover, AnElementMovesAtMostOneStepFromItsCoverValue) {
    std::unique_ptr<CoverImage> cover = MustRead(MakeBmp(24, false));
    const int start = cover->Value(0);
    ASSERT_GT(start, 0);
    ASSERT_LT(start, 255);
    const struct {
        int step;
        bool done;
        int value;
    } moves[] = {{1, true, start + 1},  {1, false, start + 1},  {-1, true, start},
                 {-1, true, start - 1}, {-1, false, start - 1}, {2, false, start - 1}};
    for (const auto& move : moves) {
        EXPECT_EQ(cover->Change(0, move.step), move.done) << move.step;
        EXPECT_EQ(cover->Value(0), move.value);
    }
    EXPECT_FALSE(cover->Change(cover->ElementCount(), 1));
}

TEST(PixelCover, JudgesStepsByTheCoverPixelWhicheverOfItsSamplesMoved) {
    // (103, 102, 100) is three from the transparent colour (100, 100, 100): every sample may
    // move either way. Red stepping down brings the pixel to two, yet green still may,
    // since the rule looks at the pixel as the cover had it; both steps keep it usable.
    std::unique_ptr<CoverImage> cover =
        MustRead(MakePng({.transparentColour = true, .pixels = {{103, 102, 100}}}));
    const auto steps = [&] {
        std::string all;
        for (uint64_t i = 0; i < 3; ++i)
            all += StepLetter(cover->AllowedSteps(i));
        return all;
    };
    EXPECT_EQ(steps(), "bbb");
    ASSERT_TRUE(cover->Change(0, -1));
    EXPECT_EQ(steps(), "ubb");
    ASSERT_TRUE(cover->Change(1, -1));
    EXPECT_EQ(steps(), "uub");
    ASSERT_TRUE(cover->Change(0, 1));
    EXPECT_EQ(steps(), "bub");
    EXPECT_EQ(cover->UsableCount(), 3u);
    EXPECT_TRUE(cover->Usable(0));
}

// Every element's steps, asked by index and by column, row and channel.
std::string AllSteps(const PixelCover& cover) {
    std::string all;
    const PixelLayout& layout = cover.Layout();
    for (uint64_t i = 0; i < cover.ElementCount(); ++i) {
        const Steps s = cover.AllowedSteps(i);
        const uint64_t pixel = i / layout.channels;
        const Steps at = cover.AllowedStepsAt(static_cast<uint32_t>(pixel % layout.width),
                                              static_cast<uint32_t>(pixel / layout.width),
                                              static_cast<uint32_t>(i % layout.channels));
        EXPECT_TRUE(at.up == s.up && at.down == s.down) << "element " << i;
        all += StepLetter(s);
    }
    return all;
}

TEST(PixelCover, StepsAreTheSameWhetherAWriterPreparedThemOrNot) {
    // A writer marks the pixels next to the transparent colour ahead; without the marks the
    // cover works them out from its pixels. Both must agree, before and after changes.
    for (const PngRecipe& recipe :
         {PngRecipe{.colourType = 0, .transparentColour = true},
          PngRecipe{.transparentColour = true}, PngRecipe{.colourType = 6},
          PngRecipe{.interlaced = true, .transparentColour = true}}) {
        std::unique_ptr<CoverImage> asked = MustRead(MakePng(recipe));
        std::unique_ptr<CoverImage> prepared = MustRead(MakePng(recipe));
        const auto& plain = dynamic_cast<const PixelCover&>(*asked);
        const auto& ahead = dynamic_cast<const PixelCover&>(*prepared);
        ahead.PrepareSteps();
        const std::string before = AllSteps(plain);
        EXPECT_EQ(AllSteps(ahead), before);
        EXPECT_NE(before.find_first_of("ud"), std::string::npos); // some samples are held back
        ChangeEvery(*asked, 3);
        ChangeEvery(*prepared, 3);
        EXPECT_EQ(AllSteps(ahead), AllSteps(plain));
        EXPECT_EQ(asked->UsableCount(), prepared->UsableCount());
    }
}

TEST(PngOutput, PassesOnTheIdatChunksWhateverPiecesTheyComeIn) {
    const Bytes png = MakePng({.width = 300, .height = 200});
    Bytes expected;
    WalkPng(MemorySource(png), [&](const PngChunk& chunk) {
        if (chunk.type == PngChunkType("IDAT"))
            expected.insert(expected.end(), png.begin() + static_cast<ptrdiff_t>(chunk.offset),
                            png.begin() + static_cast<ptrdiff_t>(chunk.offset + 12 + chunk.length));
    });
    ASSERT_FALSE(expected.empty());
    for (const size_t piece :
         {size_t{1}, size_t{3}, size_t{7}, size_t{8}, size_t{13}, size_t{4096}, png.size()}) {
        Bytes passed;
        IdatFilter filter([&](const uint8_t* data, size_t size) {
            passed.insert(passed.end(), data, data + size);
            return true;
        });
        for (size_t at = 0; at < png.size(); at += piece)
            ASSERT_TRUE(filter.Put(png.data() + at, std::min(piece, png.size() - at)));
        EXPECT_EQ(passed, expected) << "pieces of " << piece;
    }
    IdatFilter refusing([](const uint8_t*, size_t) { return false; });
    EXPECT_FALSE(refusing.Put(png.data(), png.size()));
}

size_t IdatBytes(const Bytes& png) {
    size_t bytes = 0;
    WalkPng(MemorySource(png), [&](const PngChunk& chunk) {
        bytes += chunk.type == PngChunkType("IDAT") ? chunk.length : 0;
    });
    return bytes;
}

TEST(PngOutput, PacksEachPictureAboutAsSmallAsItsOwnFile) {
    // Noise; a texture that repeats every 37 pixels, which packed by runs alone would take
    // several times the bytes of its own file; and rows of noise that repeat the row above,
    // which the average filter alone would pack as noise.
    const PngRecipe kPictures[] = {
        {.width = 400, .height = 300, .texture = 1 << 20},
        {.width = 400, .height = 300, .texture = 37},
        {.width = 400, .height = 300, .texture = 1 << 20, .sameRows = true}};
    for (const PngRecipe& recipe : kPictures) {
        const Bytes png = MakePng(recipe);
        Bytes written;
        ASSERT_EQ(MustRead(png)->Write(written), CoverStatus::Ok);
        EXPECT_LT(IdatBytes(written), IdatBytes(png) * 11 / 10)
            << recipe.texture << (recipe.sameRows ? " same rows" : "");
        EXPECT_EQ(DecodePng(written), DecodePng(png));
    }
}

TEST(PixelWovenCover, FlipCostsAreHillsAtEachElementsPlace) {
    // Noise, so that each place has a cost of its own; fully transparent pixels left out of
    // the numbering; rows stored bottom-up and top-down.
    const Bytes kPictures[] = {
        MakePng({.colourType = kGrey, .width = 40, .height = 30, .texture = 1 << 20}),
        MakePng({.colourType = kRgb, .width = 33, .height = 20, .texture = 1 << 20}),
        MakePng({.colourType = kRgba, .width = 33, .height = 20, .texture = 1 << 20}),
        MakeBmp(24, false, 0, 0xFF0000, 41, 30), MakeBmp(32, true, 0, 0xFF0000, 40, 31)};
    for (size_t p = 0; p < std::size(kPictures); ++p) {
        std::unique_ptr<CoverImage> image = MustRead(kPictures[p]);
        const auto* pixels = dynamic_cast<const PixelCover*>(image.get());
        ASSERT_NE(pixels, nullptr);
        std::unique_ptr<weave::WovenCover> cover;
        ASSERT_EQ(weave::WovenCover::Make(*image, cover), CoverStatus::Ok);
        ASSERT_EQ(cover->PrepareCosts(), CoverStatus::Ok);
        const PixelLayout& layout = pixels->Layout();
        weave::HillCosts hill;
        for (uint32_t c = 0; c < layout.channels; ++c)
            ASSERT_TRUE(hill.AddChannel(pixels->ChannelPlane(c)));
        // Usable indices scattered, as an order hands them over.
        const auto count = static_cast<uint32_t>(cover->Count());
        std::vector<uint32_t> elements(count);
        for (uint32_t i = 0; i < count; ++i)
            elements[i] = static_cast<uint32_t>(uint64_t{i} * 7919 % count);
        std::vector<float> costs(count);
        cover->FlipCosts(elements.data(), count, costs.data());
        std::set<float> distinct;
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t pixel = elements[i] / layout.channels;
            const uint32_t y = pixel / layout.width;
            const uint32_t row = pixels->RowsBottomUp() ? layout.height - 1 - y : y;
            ASSERT_EQ(costs[i],
                      hill.FlipAt(elements[i] % layout.channels, pixel % layout.width, row))
                << "picture " << p << ", element " << elements[i];
            distinct.insert(costs[i]);
        }
        EXPECT_GT(distinct.size(), 2u) << "picture " << p;
    }
}

TEST(CoverImage, WritesToAStreamWhatItWritesToMemory) {
    for (const Bytes& picture :
         {MakeJpeg({.progressive = true}), MakePng({}), MakeBmp(32, false)}) {
        std::unique_ptr<CoverImage> cover = MustRead(picture);
        ChangeEvery(*cover, 5);
        Bytes inMemory;
        ASSERT_EQ(cover->Write(inMemory), CoverStatus::Ok);
        FILE* stream = std::tmpfile();
        ASSERT_NE(stream, nullptr);
        EXPECT_EQ(cover->Write(stream), CoverStatus::Ok);
        Bytes onStream(inMemory.size() + 1);
        std::rewind(stream);
        onStream.resize(std::fread(onStream.data(), 1, onStream.size(), stream));
        std::fclose(stream);
        EXPECT_EQ(onStream, inMemory);

        FILE* readOnly = std::fopen("/dev/null", "r");
        ASSERT_NE(readOnly, nullptr);
        EXPECT_EQ(cover->Write(readOnly), CoverStatus::WriteFailed);
        std::fclose(readOnly);
    }
}

} // namespace
} // namespace lumora::test
