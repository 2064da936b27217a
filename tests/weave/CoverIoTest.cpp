// SPDX-License-Identifier: GPL-2.0-or-later
#include "CoverPictures.h"
#include "picture/JpegSegments.h"
#include "picture/PngChunks.h"
#include "support/TestFiles.h"
#include "weave/BmpCover.h"
#include "weave/JpegCover.h"
#include "weave/JpegScanScript.h"
#include "weave/PngCover.h"

#include <gtest/gtest.h>
#include <png.h>

namespace lumora::test {
namespace {

// Every marker segment of a kind, whole, in order.
std::vector<Bytes> Segments(const Bytes& jpeg, uint8_t marker) {
    std::vector<Bytes> found;
    WalkJpeg(MemorySource(jpeg), [&](const JpegSegment& s) {
        const auto start = jpeg.begin() + static_cast<ptrdiff_t>(s.offset);
        if (s.marker == marker)
            found.emplace_back(start, start + 2 + s.length);
    });
    return found;
}

struct JpegCase {
    const char* name;
    JpegRecipe recipe;
};
void PrintTo(const JpegCase& c, std::ostream* out) {
    *out << c.name;
}

class JpegCoverTest : public testing::TestWithParam<std::tuple<JpegCase, uint64_t>> {};

TEST_P(JpegCoverTest, WritesExactlyTheChangedCoefficientsAndKeepsEverythingElse) {
    const auto& [c, stride] = GetParam();
    const Bytes original = MakeJpeg(c.recipe);
    const JpegFacts before = ReadJpegFacts(original);
    std::unique_ptr<CoverImage> cover = MustRead(original);
    ASSERT_TRUE(cover);
    ASSERT_EQ(cover->ElementCount(), before.ac.size());
    for (uint64_t i = 0; i < before.ac.size(); ++i)
        ASSERT_EQ(cover->Value(i), before.ac[i]) << i;
    const std::vector<int> expected = ChangeEvery(*cover, stride);
    Bytes written;
    ASSERT_EQ(cover->Write(written), CoverStatus::Ok);

    const JpegFacts after = ReadJpegFacts(written);
    EXPECT_EQ(after.ac, expected);
    EXPECT_EQ(after.quant, before.quant);
    EXPECT_EQ(after.sampling, before.sampling);
    EXPECT_EQ(after.restartInterval, before.restartInterval);
    EXPECT_EQ(after.progressive, c.recipe.progressive);
    EXPECT_EQ(after.markers, before.markers);
    EXPECT_EQ(after.decodeWarnings, 0);
    if (!c.recipe.lowBitsUnsent) { // else libjpeg's own script sends every bit
        EXPECT_EQ(Segments(written, jpeg_marker::kSos), Segments(original, jpeg_marker::kSos));
    }
    if (!c.recipe.optimized && !c.recipe.progressive) { // the standard tables
        EXPECT_EQ(Segments(written, 0xC4), Segments(original, 0xC4));
    }
    const PictureEnd end = FindPictureEnd(MemorySource(written), PictureKind::Jpeg);
    EXPECT_EQ(end.status, EndStatus::Found);
    EXPECT_EQ(end.end, written.size());
}

const JpegCase kJpegCases[] = {
    {"baseline_420", {}},
    {"baseline_444", {.subsampled = false}},
    {"greyscale", {.components = 1}},
    {"progressive_420", {.progressive = true}},
    {"progressive_444_restarts", {.subsampled = false, .progressive = true, .restartInterval = 3}},
    {"progressive_low_bits_unsent", {.progressive = true, .lowBitsUnsent = true}},
    {"restart_markers", {.restartInterval = 2}},
    {"exif_icc_comment", {.markers = true}},
    {"own_huffman_tables", {.optimized = true, .markers = true}},
};

INSTANTIATE_TEST_SUITE_P(Kinds, JpegCoverTest,
                         testing::Combine(testing::ValuesIn(kJpegCases),
                                          testing::Values(uint64_t{0}, uint64_t{7})));

TEST(JpegCover, OtherReadersAcceptTheWrittenPicture) {
    if (std::system("command -v djpeg >/dev/null && command -v identify >/dev/null") != 0)
        GTEST_SKIP() << "djpeg or ImageMagick's identify is not installed";
    TempDir dir;
    for (const JpegRecipe& recipe :
         {JpegRecipe{.markers = true}, JpegRecipe{.progressive = true}}) {
        std::unique_ptr<CoverImage> cover = MustRead(MakeJpeg(recipe));
        ChangeEvery(*cover, 3);
        Bytes written;
        ASSERT_EQ(cover->Write(written), CoverStatus::Ok);
        WriteFile(dir / "woven.jpg", written);
        for (const char* tool : {"djpeg -outfile /dev/null", "identify"}) {
            const std::string command = std::string(tool) + " " + (dir / "woven.jpg") + " >" +
                                        (dir / "out") + " 2>" + (dir / "err");
            EXPECT_EQ(std::system(command.c_str()), 0) << tool;
            EXPECT_EQ(ReadText(dir / "err"), "") << tool;
        }
    }
}

struct RefusedCase {
    const char* name;
    Bytes bytes;
    CoverStatus status;
    uint64_t mostBytes = kMostCoverBytes;
};
void PrintTo(const RefusedCase& c, std::ostream* out) {
    *out << c.name;
}

// A JPEG with its frame header's precision, or its size, rewritten.
Bytes WithFrame(size_t at, std::initializer_list<uint8_t> values) {
    Bytes jpeg = MakeJpeg({});
    const Bytes frame = Segments(jpeg, 0xC0).at(0);
    const auto start = std::search(jpeg.begin(), jpeg.end(), frame.begin(), frame.end());
    std::copy(values.begin(), values.end(), start + static_cast<ptrdiff_t>(at));
    return jpeg;
}

Bytes Cut(Bytes bytes, size_t size) {
    bytes.resize(size);
    return bytes;
}

class RefusedCoverTest : public testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedCoverTest, SaysWhy) {
    const RefusedCase& c = GetParam();
    EXPECT_EQ(ReadCover(MemorySource(c.bytes), c.mostBytes).status, c.status);
}

const RefusedCase kRefusedCases[] = {
    {"jpeg_arithmetic", MakeJpeg({.arithmetic = true}), CoverStatus::ArithmeticCoding},
    {"jpeg_arithmetic_progressive", MakeJpeg({.progressive = true, .arithmetic = true}),
     CoverStatus::ArithmeticCoding},
    {"jpeg_cmyk", MakeJpeg({.components = 4}), CoverStatus::CmykColour},
    {"jpeg_12_bit", WithFrame(4, {12}), CoverStatus::NotEightBit},
    {"jpeg_huge", WithFrame(5, {0xFD, 0xE8, 0xFD, 0xE8}), CoverStatus::TooLarge},
    {"jpeg_beyond_libjpeg", WithFrame(5, {0xFF, 0xFF, 0xFF, 0xFF}), CoverStatus::TooLarge},
    {"jpeg_cut_in_scan", Cut(MakeJpeg({}), 900), CoverStatus::Damaged},
    {"png_palette", MakePng({.colourType = PNG_COLOR_TYPE_PALETTE}), CoverStatus::Palette},
    {"png_16_bit", MakePng({.bitDepth = 16}), CoverStatus::NotEightBit},
    {"png_4_bit_grey", MakePng({.colourType = PNG_COLOR_TYPE_GRAY, .bitDepth = 4}),
     CoverStatus::NotEightBit},
    {"png_sbit_5", MakePng({.lowSignificantBits = true}), CoverStatus::ReducedPrecision},
    {"png_animated", MakePng({.animated = true}), CoverStatus::Animated},
    {"bmp_palette", MakeBmp(8, false), CoverStatus::Palette},
    {"bmp_16_bit", MakeBmp(16, false), CoverStatus::NotEightBit},
    {"bmp_run_length", MakeBmp(24, false, 1), CoverStatus::UnsupportedLayout},
    {"bmp_other_masks", MakeBmp(32, false, 3, 0xFF000000), CoverStatus::UnsupportedLayout},
    {"bmp_cut", Cut(MakeBmp(24, false), 53 + 2 * 12), CoverStatus::Damaged},
    {"png_above_the_bound", MakePng({}), CoverStatus::TooLarge, 12 * 9 * 3 - 1},
    {"bmp_above_the_bound", MakeBmp(24, false), CoverStatus::TooLarge, 77},
    {"gif", Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, ';'},
     CoverStatus::NotSupported},
    {"zip", Bytes{'P', 'K', 3, 4, 20, 0}, CoverStatus::NotSupported},
};

INSTANTIATE_TEST_SUITE_P(Kinds, RefusedCoverTest, testing::ValuesIn(kRefusedCases));

TEST(JpegScanScript, SendsEveryBitOnlyWhenEachBandOfEachComponentEndsAtBitZero) {
    const jpeg_scan_info dc{3, {0, 1, 2}, 0, 0, 0, 0};
    const auto ac = [](int component, int first, int last, int ah, int al) {
        return jpeg_scan_info{1, {component}, first, last, ah, al};
    };
    const struct {
        const char* name;
        std::vector<jpeg_scan_info> scans;
        bool everyBit;
    } kCases[] = {
        {"sequential", {{3, {0, 1, 2}, 0, 63, 0, 0}}, true},
        {"progressive with refinements",
         {dc, ac(0, 1, 5, 0, 2), ac(0, 6, 63, 0, 2), ac(0, 1, 63, 2, 1), ac(0, 1, 63, 1, 0),
          ac(1, 1, 63, 0, 0), ac(2, 1, 63, 0, 0)},
         true},
        {"a component's last refinement missing",
         {dc, ac(0, 1, 63, 0, 1), ac(1, 1, 63, 0, 0), ac(2, 1, 63, 0, 0)},
         false},
        {"a band left out",
         {dc, ac(0, 1, 62, 0, 0), ac(1, 1, 63, 0, 0), ac(2, 1, 63, 0, 0)},
         false},
        {"a component without AC", {dc, ac(0, 1, 63, 0, 0), ac(1, 1, 63, 0, 0)}, false},
        {"DC sent at bit 1 only",
         {{3, {0, 1, 2}, 0, 0, 0, 1}, ac(0, 1, 63, 0, 0), ac(1, 1, 63, 0, 0), ac(2, 1, 63, 0, 0)},
         false},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(SendsEveryBit(c.scans, 3), c.everyBit) << c.name;
}

} // namespace
} // namespace lumora::test
