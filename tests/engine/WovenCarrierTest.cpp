// SPDX-License-Identifier: GPL-2.0-or-later
// Woven carriers end to end on pictures made with libjpeg and libpng: every kind round-trips
// and keeps what it must, other pictures and other passwords never open, refused kinds and
// sizes say why. Elements are compared through the libraries themselves, not the covers.
#include "engine/WovenCarrier.h"

#include "../weave/CoverPictures.h"
#include "crypt/WovenLayout.h"
#include "picture/PictureEnd.h"
#include "platform/VectorLevel.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <png.h>

namespace lumora {
namespace {

using test::Bytes;

const char kPassword[] = "a woven test password";

class WovenTest : public ::testing::Test {
protected:
    void SetUp() override { UseWovenTestFormat(true); }
    void TearDown() override { UseWovenTestFormat(false); }
};

// Bytes that woven data may change, read with libjpeg or libpng (every sample, alpha too)
// or, for a BMP, the whole file.
Bytes ElementBytes(const Bytes& picture, std::vector<int>& coefficients) {
    switch (KindOf(MemorySource(picture))) {
    case PictureKind::Jpeg:
        coefficients = test::ReadJpegFacts(picture).ac;
        return {};
    case PictureKind::Png:
        return test::DecodePng(picture);
    default:
        return picture;
    }
}

// Elements that differ between the two pictures, or -1 when one differs by more than one
// step or their sizes differ.
int64_t OneStepChanges(const Bytes& cover, const Bytes& woven) {
    std::vector<int> a, b;
    const Bytes x = ElementBytes(cover, a), y = ElementBytes(woven, b);
    if (x.size() != y.size() || a.size() != b.size())
        return -1;
    int64_t changes = 0;
    for (size_t i = 0; i < x.size() + a.size(); ++i) {
        const int step = i < x.size() ? y[i] - x[i] : b[i - x.size()] - a[i - x.size()];
        if (step < -1 || step > 1)
            return -1;
        changes += step != 0 ? 1 : 0;
    }
    return changes;
}

Bytes Woven(const Bytes& cover, const Bytes& archive, const char* password = kPassword,
            bool force = false) {
    Bytes out;
    WeaveOptions options;
    options.force = force;
    const WeaveResult result =
        Weave(MemorySource(cover), archive, Password(password), &out, options);
    EXPECT_EQ(result.outcome, WovenOutcome::Ok);
    return out;
}

Bytes Opened(const Bytes& picture, WovenOutcome expected = WovenOutcome::Ok) {
    const UnweaveResult read = Unweave(MemorySource(picture), Password(kPassword));
    EXPECT_EQ(read.outcome, expected);
    return Bytes(read.archive.Data(), read.archive.Data() + read.archive.Size());
}

struct PictureCase {
    const char* name;
    Bytes (*make)();
};
void PrintTo(const PictureCase& c, std::ostream* os) {
    *os << c.name;
}

test::JpegRecipe Jpeg(int components, bool subsampled) {
    test::JpegRecipe recipe;
    recipe.components = components;
    recipe.subsampled = subsampled;
    recipe.width = 256;
    recipe.height = 192;
    return recipe;
}

test::PngRecipe Png(int colourType, bool transparentColour = false, bool interlaced = false) {
    test::PngRecipe recipe;
    recipe.colourType = colourType;
    recipe.transparentColour = transparentColour;
    recipe.interlaced = interlaced;
    recipe.width = 200;
    recipe.height = 150;
    return recipe;
}

const PictureCase kPictures[] = {
    {"baseline 4:2:0", [] { return test::MakeJpeg(Jpeg(3, true)); }},
    {"4:4:4", [] { return test::MakeJpeg(Jpeg(3, false)); }},
    {"4:2:0, rows padded to whole MCUs",
     [] {
         test::JpegRecipe recipe = Jpeg(3, true);
         recipe.width = 248; // 31 luminance blocks a row, 32 held
         return test::MakeJpeg(recipe);
     }},
    {"greyscale", [] { return test::MakeJpeg(Jpeg(1, false)); }},
    {"progressive",
     [] {
         test::JpegRecipe recipe = Jpeg(3, true);
         recipe.progressive = true;
         return test::MakeJpeg(recipe);
     }},
    {"restart markers, own Huffman tables",
     [] {
         test::JpegRecipe recipe = Jpeg(3, true);
         recipe.restartInterval = 3;
         recipe.optimized = true;
         return test::MakeJpeg(recipe);
     }},
    {"EXIF, ICC and a comment",
     [] {
         test::JpegRecipe recipe = Jpeg(3, true);
         recipe.markers = true;
         return test::MakeJpeg(recipe);
     }},
    {"PNG grey", [] { return test::MakePng(Png(PNG_COLOR_TYPE_GRAY)); }},
    {"PNG grey and alpha", [] { return test::MakePng(Png(PNG_COLOR_TYPE_GRAY_ALPHA)); }},
    {"PNG RGB", [] { return test::MakePng(Png(PNG_COLOR_TYPE_RGB)); }},
    {"PNG RGBA", [] { return test::MakePng(Png(PNG_COLOR_TYPE_RGBA)); }},
    {"PNG interlaced", [] { return test::MakePng(Png(PNG_COLOR_TYPE_RGBA, false, true)); }},
    {"PNG grey with tRNS", [] { return test::MakePng(Png(PNG_COLOR_TYPE_GRAY, true)); }},
    {"PNG RGB with tRNS", [] { return test::MakePng(Png(PNG_COLOR_TYPE_RGB, true)); }},
    {"BMP 24 bottom-up", [] { return test::MakeBmp(24, false, 0, 0xFF0000, 100, 60); }},
    {"BMP 32 top-down", [] { return test::MakeBmp(32, true, 0, 0xFF0000, 100, 60); }},
};

enum class Payload { Empty, Small, AtCapacity };
void PrintTo(Payload payload, std::ostream* os) {
    *os << (payload == Payload::Empty ? "empty" : payload == Payload::Small ? "small" : "full");
}

class WovenRoundTrip : public WovenTest,
                       public ::testing::WithParamInterface<std::tuple<PictureCase, Payload>> {};

TEST_P(WovenRoundTrip, ReadsBackWhatWasHiddenAndKeepsThePicture) {
    const auto& [picture, payload] = GetParam();
    const Bytes cover = picture.make();
    const WovenCapacityResult capacity = WovenCapacity(MemorySource(cover));
    ASSERT_EQ(capacity.outcome, WovenOutcome::Ok);
    ASSERT_GE(capacity.size.capacityBytes, 40u);
    const size_t length = payload == Payload::Empty   ? 0
                          : payload == Payload::Small ? 40
                                                      : capacity.size.capacityBytes;
    const Bytes archive = test::PseudoRandomBytes(length, static_cast<uint32_t>(length));

    Bytes woven;
    const WeaveResult written = Weave(MemorySource(cover), archive, Password(kPassword), &woven);
    ASSERT_EQ(written.outcome, WovenOutcome::Ok);
    EXPECT_EQ(written.size.capacityBytes, capacity.size.capacityBytes);
    const PictureLayout layout = InspectPicture(MemorySource(woven));
    EXPECT_EQ(layout.kind, KindOf(MemorySource(cover)));
    EXPECT_EQ(layout.end.status, EndStatus::Found);
    EXPECT_FALSE(layout.HasTrailingBytes());
    EXPECT_GT(written.changes, 0u);
    EXPECT_EQ(OneStepChanges(cover, woven), static_cast<int64_t>(written.changes));
    EXPECT_EQ(Opened(woven), archive);

    if (layout.kind == PictureKind::Jpeg) {
        const test::JpegFacts before = test::ReadJpegFacts(cover),
                              after = test::ReadJpegFacts(woven);
        EXPECT_EQ(after.quant, before.quant);
        EXPECT_EQ(after.sampling, before.sampling);
        EXPECT_EQ(after.restartInterval, before.restartInterval);
        EXPECT_EQ(after.progressive, before.progressive);
        EXPECT_EQ(after.markers, before.markers);
        EXPECT_EQ(after.decodeWarnings, 0);
    } else if (layout.kind == PictureKind::Png) {
        EXPECT_EQ(test::ChunksBesidesIdat(woven), test::ChunksBesidesIdat(cover));
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, WovenRoundTrip,
                         ::testing::Combine(::testing::ValuesIn(kPictures),
                                            ::testing::Values(Payload::Empty, Payload::Small,
                                                              Payload::AtCapacity)));

// Copies that must never open to anything: NotOpened, or at worst Damaged or unreadable.
struct CopyCase {
    const char* name;
    Bytes (*copy)(const Bytes& woven, const Bytes& cover);
    const char* password;
};
void PrintTo(const CopyCase& c, std::ostream* os) {
    *os << c.name;
}

class WovenCopies : public WovenTest, public ::testing::WithParamInterface<CopyCase> {};

TEST_P(WovenCopies, NeverOpen) {
    const Bytes cover = test::MakeJpeg(Jpeg(3, true));
    const Bytes woven = Woven(cover, test::PseudoRandomBytes(100, 1));
    const Bytes copy = GetParam().copy(woven, cover);
    ASSERT_FALSE(copy.empty());
    const UnweaveResult read = Unweave(MemorySource(copy), Password(GetParam().password));
    EXPECT_TRUE(read.outcome == WovenOutcome::NotOpened || read.outcome == WovenOutcome::Damaged ||
                (read.outcome == WovenOutcome::Refused && read.cover == CoverStatus::Damaged))
        << static_cast<int>(read.outcome) << " " << static_cast<int>(read.cover);
    EXPECT_TRUE(read.archive.Empty());
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, WovenCopies,
    ::testing::Values(
        CopyCase{"wrong password", [](const Bytes& w, const Bytes&) { return w; }, "a woven test"},
        CopyCase{"the cover itself", [](const Bytes&, const Bytes& c) { return c; }, kPassword},
        CopyCase{"recompressed at 95",
                 [](const Bytes& w, const Bytes&) { return test::RecompressJpeg(w, 95); },
                 kPassword},
        CopyCase{"recompressed at 75",
                 [](const Bytes& w, const Bytes&) { return test::RecompressJpeg(w, 75); },
                 kPassword},
        CopyCase{"cropped by one block",
                 [](const Bytes& w, const Bytes&) { return test::RecompressJpeg(w, 95, 8, 8); },
                 kPassword},
        CopyCase{"cut short",
                 [](const Bytes& w, const Bytes&) { return Bytes(w.begin(), w.end() - 200); },
                 kPassword}));

struct RefusedCase {
    const char* name;
    Bytes (*make)();
    CoverStatus reason;
};
void PrintTo(const RefusedCase& c, std::ostream* os) {
    *os << c.name;
}

class WovenRefused : public WovenTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(WovenRefused, SaysWhy) {
    const Bytes picture = GetParam().make();
    const MemorySource source(picture);
    const WovenCapacityResult capacity = WovenCapacity(source);
    EXPECT_EQ(capacity.outcome, WovenOutcome::Refused);
    EXPECT_EQ(capacity.cover, GetParam().reason);
    Bytes out;
    const WeaveResult written = Weave(source, Bytes(10), Password(kPassword), &out);
    EXPECT_EQ(written.outcome, WovenOutcome::Refused);
    EXPECT_EQ(written.cover, GetParam().reason);
    EXPECT_TRUE(out.empty());
    const UnweaveResult read = Unweave(source, Password(kPassword));
    EXPECT_EQ(read.outcome, WovenOutcome::Refused);
    EXPECT_EQ(read.cover, GetParam().reason);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, WovenRefused,
    ::testing::Values(RefusedCase{"GIF",
                                  [] { return test::ReadFile(test::ReferenceFile("base.gif")); },
                                  CoverStatus::NotSupported},
                      RefusedCase{"text",
                                  [] {
                                      return Bytes{'h', 'e', 'l', 'l', 'o'};
                                  },
                                  CoverStatus::NotSupported},
                      RefusedCase{"palette PNG",
                                  [] { return test::MakePng(Png(PNG_COLOR_TYPE_PALETTE)); },
                                  CoverStatus::Palette},
                      RefusedCase{"16-bit PNG",
                                  [] {
                                      test::PngRecipe recipe = Png(PNG_COLOR_TYPE_RGB);
                                      recipe.bitDepth = 16;
                                      return test::MakePng(recipe);
                                  },
                                  CoverStatus::NotEightBit},
                      RefusedCase{"arithmetic JPEG",
                                  [] {
                                      test::JpegRecipe recipe = Jpeg(3, true);
                                      recipe.arithmetic = true;
                                      return test::MakeJpeg(recipe);
                                  },
                                  CoverStatus::ArithmeticCoding},
                      RefusedCase{"CMYK JPEG", [] { return test::MakeJpeg(Jpeg(4, false)); },
                                  CoverStatus::CmykColour}));

TEST_F(WovenTest, TooSmallPicturesNeitherCarryNorOpen) {
    const Bytes small = test::MakeJpeg(test::JpegRecipe{}); // 45 x 37 pixels
    const WovenCapacityResult capacity = WovenCapacity(MemorySource(small));
    EXPECT_EQ(capacity.outcome, WovenOutcome::TooSmall);
    EXPECT_LT(capacity.size.elements, kWovenMinElements);
    Bytes out;
    EXPECT_EQ(Weave(MemorySource(small), Bytes(), Password(kPassword), &out).outcome,
              WovenOutcome::TooSmall);
    Opened(small, WovenOutcome::NotOpened);
}

TEST_F(WovenTest, ContentAboveTheCapacityNeedsForceAndNeverPassesTheLimit) {
    const Bytes cover = test::MakeJpeg(Jpeg(3, true));
    const WovenSize size = WovenCapacity(MemorySource(cover)).size;
    const Bytes over = test::PseudoRandomBytes(size.capacityBytes + 1, 2);
    Bytes out;
    const WeaveResult refused = Weave(MemorySource(cover), over, Password(kPassword), &out);
    EXPECT_EQ(refused.outcome, WovenOutcome::OverCapacity);
    EXPECT_EQ(refused.size.capacityBytes, size.capacityBytes);
    EXPECT_EQ(refused.contentBytes, over.size());
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(Opened(Woven(cover, over, kPassword, true)), over);

    WeaveOptions force;
    force.force = true;
    const WeaveResult beyond =
        Weave(MemorySource(cover), Bytes(size.limitBytes + 1), Password(kPassword), &out, force);
    EXPECT_EQ(beyond.outcome, WovenOutcome::OverLimit);
    EXPECT_EQ(beyond.size.limitBytes, size.limitBytes);
    EXPECT_TRUE(out.empty());
}

TEST_F(WovenTest, EveryWriteHasItsOwnSaltAndItsKeysReadItBack) {
    const Bytes cover = test::MakeBmp(24, false, 0, 0xFF0000, 100, 60);
    const Bytes archive = test::PseudoRandomBytes(60, 3);
    Bytes first, second;
    WovenKeys keys;
    ASSERT_EQ(NewWovenKeys(Password(kPassword), keys), SealedOutcome::Ok);
    ASSERT_EQ(Weave(MemorySource(cover), archive, keys, &first).outcome, WovenOutcome::Ok);
    ASSERT_EQ(Weave(MemorySource(cover), archive, Password(kPassword), &second).outcome,
              WovenOutcome::Ok);
    EXPECT_NE(first, second);
    const UnweaveResult a = Unweave(MemorySource(first), keys);
    ASSERT_EQ(a.outcome, WovenOutcome::Ok);
    EXPECT_EQ(Bytes(a.archive.Data(), a.archive.Data() + a.archive.Size()), archive);
    EXPECT_EQ(Unweave(MemorySource(second), keys).outcome, WovenOutcome::NotOpened);
    EXPECT_NE(Unweave(MemorySource(second), Password(kPassword)).keys.Salt(), keys.Salt());
}

// The processor picks the coder's pass, how HILL's levels are found and how the orders are
// walked; one without AVX-512, or without AVX2, must write and read the very same picture.
TEST_F(WovenTest, EveryVectorLevelWritesAndReadsTheSamePicture) {
    test::PngRecipe recipe = Png(PNG_COLOR_TYPE_RGB);
    recipe.width = 320; // a body of four segments
    recipe.height = 240;
    const Bytes cover = test::MakePng(recipe);
    const Bytes archive =
        test::PseudoRandomBytes(WovenCapacity(MemorySource(cover)).size.capacityBytes, 4);
    WovenKeys keys;
    ASSERT_EQ(NewWovenKeys(Password(kPassword), keys), SealedOutcome::Ok);
    Bytes widest;
    ASSERT_EQ(Weave(MemorySource(cover), archive, keys, &widest).outcome, WovenOutcome::Ok);
    for (const VectorLevel level : {VectorLevel::Avx2, VectorLevel::Portable}) {
        SCOPED_TRACE(static_cast<int>(level));
        const VectorCeiling ceiling(level);
        Bytes woven;
        ASSERT_EQ(Weave(MemorySource(cover), archive, keys, &woven).outcome, WovenOutcome::Ok);
        EXPECT_EQ(woven, widest);
        const UnweaveResult read = Unweave(MemorySource(widest), keys);
        ASSERT_EQ(read.outcome, WovenOutcome::Ok);
        EXPECT_EQ(Bytes(read.archive.Data(), read.archive.Data() + read.archive.Size()), archive);
    }
}

TEST_F(WovenTest, BytesAfterTheCoverAreNotCarriedOver) {
    Bytes cover = test::MakeBmp(32, false, 0, 0xFF0000, 100, 60);
    const size_t pictureSize = cover.size();
    cover.insert(cover.end(), 300, 0x5A);
    const Bytes woven = Woven(cover, Bytes(20, 7));
    EXPECT_EQ(woven.size(), pictureSize);
    EXPECT_EQ(Opened(woven), Bytes(20, 7));
}

TEST_F(WovenTest, ProgressRunsOverEveryPositionAndCancelStopsBetweenSegments) {
    const Bytes cover = test::MakePng(Png(PNG_COLOR_TYPE_RGB));
    std::vector<std::pair<ProgressStep, int64_t>> heard;
    WeaveOptions options;
    options.report = [&](ProgressStep step, int64_t done, int64_t total) {
        heard.emplace_back(step, done);
        return step != ProgressStep::Encrypting || done < total / 2;
    };
    Bytes out;
    const WeaveResult cancelled =
        Weave(MemorySource(cover), Bytes(30), Password(kPassword), &out, options);
    EXPECT_EQ(cancelled.outcome, WovenOutcome::Cancelled);
    EXPECT_TRUE(out.empty());
    ASSERT_GE(heard.size(), 3u);
    EXPECT_EQ(heard.front().first, ProgressStep::DerivingKey);
    for (size_t i = 2; i < heard.size(); ++i)
        EXPECT_LT(heard[i - 1].second, heard[i].second);

    const Bytes woven = Woven(cover, Bytes(30));
    int64_t reached = 0, total = 0;
    const UnweaveResult read = Unweave(MemorySource(woven), Password(kPassword),
                                       [&](ProgressStep step, int64_t done, int64_t all) {
                                           if (step == ProgressStep::Decrypting)
                                               reached = done, total = all;
                                           return true;
                                       });
    EXPECT_EQ(read.outcome, WovenOutcome::Ok);
    EXPECT_EQ(reached, total);
    EXPECT_EQ(Unweave(MemorySource(woven), Password(kPassword),
                      [](ProgressStep step, int64_t, int64_t) {
                          return step != ProgressStep::Decrypting;
                      })
                  .outcome,
              WovenOutcome::Cancelled);
}

} // namespace
} // namespace lumora
