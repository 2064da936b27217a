// SPDX-License-Identifier: GPL-2.0-or-later
// Woven carriers through the carrier session: hides into every kind of picture, re-saves
// into the carrier's own picture, conversions in every direction, the refusals with their
// figures, which data an opened file is tried for, and keys made ahead for one write.
#include "../weave/CoverPictures.h"
#include "EngineTestSupport.h"
#include "crypt/KeyFormats.h"
#include "crypt/SealedKey.h"
#include "crypt/WovenKeys.h"
#include "engine/OpenedCarrier.h"
#include "engine/UnlockedCarrier.h"
#include "engine/WovenCarrier.h"
#include "picture/PictureEnd.h"
#include "support/GarbledEntry.h"
#include "support/Sessions.h"

#include <png.h>

namespace lumora::test {
namespace {

constexpr char kMessage[] = "woven\r\nmessage";

JpegRecipe Jpeg(int components, bool subsampled) {
    JpegRecipe recipe;
    recipe.components = components;
    recipe.subsampled = subsampled;
    recipe.width = 256;
    recipe.height = 192;
    return recipe;
}

PngRecipe Png(int colourType, bool transparentColour = false, bool interlaced = false) {
    PngRecipe recipe;
    recipe.colourType = colourType;
    recipe.transparentColour = transparentColour;
    recipe.interlaced = interlaced;
    recipe.width = 200;
    recipe.height = 150;
    return recipe;
}

struct PictureCase {
    const char* name;
    const char* extension;
    Bytes (*make)();
};
void PrintTo(const PictureCase& c, std::ostream* os) {
    *os << c.name;
}

const PictureCase kPictures[] = {
    {"baseline 4:2:0", "jpg", [] { return MakeJpeg(Jpeg(3, true)); }},
    {"4:4:4", "jpg", [] { return MakeJpeg(Jpeg(3, false)); }},
    {"greyscale", "jpg", [] { return MakeJpeg(Jpeg(1, false)); }},
    {"progressive", "jpg",
     [] {
         JpegRecipe recipe = Jpeg(3, true);
         recipe.progressive = true;
         return MakeJpeg(recipe);
     }},
    {"restart markers", "jpg",
     [] {
         JpegRecipe recipe = Jpeg(3, true);
         recipe.restartInterval = 3;
         return MakeJpeg(recipe);
     }},
    {"EXIF and ICC", "jpg",
     [] {
         JpegRecipe recipe = Jpeg(3, true);
         recipe.markers = true;
         return MakeJpeg(recipe);
     }},
    {"PNG grey", "png", [] { return MakePng(Png(PNG_COLOR_TYPE_GRAY)); }},
    {"PNG grey and alpha", "png", [] { return MakePng(Png(PNG_COLOR_TYPE_GRAY_ALPHA)); }},
    {"PNG RGB", "png", [] { return MakePng(Png(PNG_COLOR_TYPE_RGB)); }},
    {"PNG RGBA", "png", [] { return MakePng(Png(PNG_COLOR_TYPE_RGBA)); }},
    {"PNG interlaced", "png", [] { return MakePng(Png(PNG_COLOR_TYPE_RGB, false, true)); }},
    {"PNG with tRNS", "png", [] { return MakePng(Png(PNG_COLOR_TYPE_RGB, true)); }},
    {"BMP 24", "bmp", [] { return MakeBmp(24, false, 0, 0xFF0000, 100, 80); }},
    {"BMP 32", "bmp", [] { return MakeBmp(32, true, 0, 0xFF0000, 100, 80); }},
};

class WovenSessionTest : public EngineTest {
protected:
    WovenSessionTest() {
        UseWovenTestFormat(true);
        UseSealedTestFormat(true);
    }
    ~WovenSessionTest() override {
        UseWovenTestFormat(false);
        UseSealedTestFormat(false);
    }

    // Hides the message and files into the picture at `picture` in format; the status of
    // the hide.
    Status HideAs(const std::string& picture, CarrierFormat format,
                  const std::vector<std::string>& files, const std::string& dest,
                  bool overCapacity = true) {
        std::unique_ptr<OpenedCarrier> opened = OpenAt(picture);
        if (opened == nullptr)
            return Status::Fail(Reason::ReadFailed, picture);
        const Password typed("pw");
        SaveRequest request;
        request.destination = dest;
        request.message = kMessage;
        for (const std::string& file : files)
            request.addedFiles.emplace_back(file);
        request.newPassword = &typed;
        request.format = format;
        request.allowOverCapacity = overCapacity;
        std::unique_ptr<UnlockedCarrier> saved;
        return OpenedCarrier::Hide(opened, request, saved);
    }

    // Everything the carrier at path reveals under password, by entry name.
    struct Content {
        Status status;
        CarrierFormat format = CarrierFormat::Classic;
        std::optional<std::string> message;
        std::map<std::string, Bytes> files;
    };
    Content Reveal(const std::string& path, const std::string& password = "pw") {
        Content content;
        std::unique_ptr<UnlockedCarrier> session;
        content.status = UnlockAt(path, password, session, ProofTiming::AtUnlock, true);
        if (!content.status.Ok())
            return content;
        content.format = session->Format();
        content.message = session->Message();
        for (const HiddenEntry& entry : session->Entries()) {
            std::string copy;
            EXPECT_TRUE(session->ExtractToWorkFolder(entry.index, copy).Ok());
            content.files[entry.name] = ReadFile(copy);
        }
        return content;
    }

    // Saves everything the carrier holds again in format (none: its own), adding `added`.
    Status Resave(const std::string& carrier, std::optional<CarrierFormat> format,
                  const std::string& dest, bool oldDataInside,
                  const std::vector<std::string>& added = {}) {
        std::unique_ptr<UnlockedCarrier> session;
        if (Status unlocked = UnlockAt(carrier, "pw", session); !unlocked.Ok())
            return unlocked;
        SaveRequest request;
        request.destination = dest;
        request.keepMessage = true;
        for (const HiddenEntry& entry : session->Entries())
            request.keptEntries.push_back(entry.index);
        for (const std::string& file : added)
            request.addedFiles.emplace_back(file);
        request.format = format;
        request.allowOverCapacity = true;
        request.allowOldDataInside = oldDataInside;
        return session->Save(request);
    }
};

using Kinds = ::testing::WithParamInterface<std::tuple<PictureCase, int>>;
class WovenSessionKinds : public WovenSessionTest, public Kinds {};

// Hides, re-saves into the woven picture itself, and reads back every file and the message;
// the picture stays an ordinary one of its kind with nothing after its end.
TEST_P(WovenSessionKinds, HidesAndResavesInsideThePicture) {
    const auto& [picture, fileBytes] = GetParam();
    const Bytes cover = picture.make();
    const std::string coverPath = MakeFile(std::string("cover.") + picture.extension, cover);
    std::vector<std::string> files;
    if (fileBytes > 0)
        files.push_back(MakeFile("a.bin", PseudoRandomBytes(static_cast<size_t>(fileBytes), 5)));
    const std::string woven = Path(std::string("woven.") + picture.extension);
    ASSERT_EQ(HideAs(coverPath, CarrierFormat::Woven, files, woven).reason, Reason::None);

    const Bytes written = ReadFile(woven);
    const PictureLayout layout = InspectPicture(MemorySource(written));
    EXPECT_EQ(layout.kind, KindOf(MemorySource(cover)));
    EXPECT_EQ(layout.end.status, EndStatus::Found);
    EXPECT_FALSE(layout.HasTrailingBytes());
    if (layout.kind == PictureKind::Jpeg) {
        EXPECT_EQ(ReadJpegFacts(written).quant, ReadJpegFacts(cover).quant);
    }

    const std::string added = MakeFile("b.txt", PseudoRandomBytes(33, 6));
    const std::string resaved = Path(std::string("resaved.") + picture.extension);
    ASSERT_EQ(Resave(woven, std::nullopt, resaved, false, {added}).reason, Reason::None);
    const Content content = Reveal(resaved);
    ASSERT_EQ(content.status.reason, Reason::None);
    EXPECT_EQ(content.format, CarrierFormat::Woven);
    EXPECT_EQ(content.message, std::optional<std::string>(kMessage));
    EXPECT_EQ(content.files.size(), files.size() + 1);
    for (const std::string& file : files)
        EXPECT_EQ(content.files.at("a.bin"), ReadFile(file));
    EXPECT_EQ(content.files.at("b.txt"), ReadFile(added));
    EXPECT_FALSE(InspectPicture(MemorySource(ReadFile(resaved))).HasTrailingBytes());

    // Another password, and the cover that holds nothing, read as no woven data.
    EXPECT_EQ(Reveal(resaved, "other").status.reason, Reason::WovenNotOpened);
    EXPECT_EQ(Reveal(coverPath).status.reason, Reason::WovenNotOpened);
}

INSTANTIATE_TEST_SUITE_P(Pictures, WovenSessionKinds,
                         ::testing::Combine(::testing::ValuesIn(kPictures),
                                            ::testing::Values(0, 300)));

// Converting keeps the content in all six directions; leaving woven, or going from sealed
// into woven, needs consent, since the old data stays inside the picture.
TEST_F(WovenSessionTest, ConvertsInEveryDirection) {
    const std::string cover = MakeFile("cover.png", MakePng(Png(PNG_COLOR_TYPE_RGB)));
    const std::string file = MakeFile("f.bin", PseudoRandomBytes(120, 8));
    constexpr auto kClassic = CarrierFormat::Classic;
    constexpr auto kSealed = CarrierFormat::Sealed;
    constexpr auto kWoven = CarrierFormat::Woven;
    const struct {
        const char* name;
        CarrierFormat from;
        CarrierFormat to;
        bool needsConsent;
    } cases[] = {
        {"classic to sealed", kClassic, kSealed, false},
        {"classic to woven", kClassic, kWoven, false},
        {"sealed to classic", kSealed, kClassic, false},
        {"sealed to woven", kSealed, kWoven, true},
        {"woven to classic", kWoven, kClassic, true},
        {"woven to sealed", kWoven, kSealed, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string carrier = Path("from");
        ASSERT_EQ(HideAs(cover, c.from, {file}, carrier).reason, Reason::None);
        const std::string dest = Path("to");
        std::filesystem::remove(dest);
        if (c.needsConsent) {
            const Status refused = Resave(carrier, c.to, dest, false);
            EXPECT_EQ(refused.reason, Reason::OldDataStaysInside);
            EXPECT_EQ(refused.subject, carrier);
            EXPECT_FALSE(std::filesystem::exists(dest));
        }
        ASSERT_EQ(Resave(carrier, c.to, dest, true).reason, Reason::None);
        const Content content = Reveal(dest);
        ASSERT_EQ(content.status.reason, Reason::None);
        EXPECT_EQ(content.format, c.to);
        EXPECT_EQ(content.message, std::optional<std::string>(kMessage));
        EXPECT_EQ(content.files.at("f.bin"), ReadFile(file));
    }
}

// Pictures a woven hide refuses, each with the reason that says what would work, and
// nothing written.
TEST_F(WovenSessionTest, RefusesPicturesItCannotUse) {
    PngRecipe palette = Png(PNG_COLOR_TYPE_PALETTE);
    PngRecipe deep = Png(PNG_COLOR_TYPE_RGB);
    deep.bitDepth = 16;
    JpegRecipe cmyk = Jpeg(4, false);
    Bytes gif = {'G', 'I', 'F', '8', '9', 'a'};
    const Bytes rest = PseudoRandomBytes(2000, 9);
    gif.insert(gif.end(), rest.begin(), rest.end());
    const struct {
        const char* name;
        Bytes picture;
        Reason reason;
    } cases[] = {
        {"GIF", gif, Reason::NotWovenKind},
        {"palette PNG", MakePng(palette), Reason::WovenPalette},
        {"16-bit PNG", MakePng(deep), Reason::WovenSampleDepth},
        {"CMYK JPEG", MakeJpeg(cmyk), Reason::WovenSampleDepth},
        {"tiny PNG", MakePng(PngRecipe{}), Reason::PictureTooSmallToWeave},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string picture = MakeFile("refused", c.picture);
        const std::string dest = Path("out");
        const Status status = HideAs(picture, CarrierFormat::Woven, {}, dest);
        EXPECT_EQ(status.reason, c.reason);
        EXPECT_EQ(status.subject, picture);
        EXPECT_FALSE(std::filesystem::exists(dest));
    }
}

// Above the capacity only with consent, with the figures told; above the limit never.
TEST_F(WovenSessionTest, RefusesContentAboveCapacityWithTheFigures) {
    const Bytes cover = MakePng(Png(PNG_COLOR_TYPE_RGB));
    const std::string coverPath = MakeFile("cover.png", cover);
    const WovenCapacityResult capacity = WovenCapacity(MemorySource(cover));
    ASSERT_EQ(capacity.outcome, WovenOutcome::Ok);
    const uint64_t over = capacity.size.capacityBytes + 200;
    ASSERT_LT(over + 400, capacity.size.limitBytes);
    const std::string file = MakeFile("f.bin", PseudoRandomBytes(static_cast<size_t>(over), 10));
    const std::string dest = Path("out.png");

    const Status refused = HideAs(coverPath, CarrierFormat::Woven, {file}, dest, false);
    EXPECT_EQ(refused.reason, Reason::OverWovenCapacity);
    EXPECT_EQ(refused.limit, static_cast<int64_t>(capacity.size.capacityBytes));
    EXPECT_GT(refused.count, static_cast<int64_t>(over));
    EXPECT_FALSE(std::filesystem::exists(dest));
    ASSERT_EQ(HideAs(coverPath, CarrierFormat::Woven, {file}, dest, true).reason, Reason::None);
    EXPECT_EQ(Reveal(dest).files.at("f.bin"), ReadFile(file));

    const std::string huge =
        MakeFile("huge.bin", PseudoRandomBytes(static_cast<size_t>(capacity.size.limitBytes), 11));
    const Status beyond = HideAs(coverPath, CarrierFormat::Woven, {huge}, Path("beyond"), true);
    EXPECT_EQ(beyond.reason, Reason::OverWovenLimit);
    EXPECT_EQ(beyond.limit, static_cast<int64_t>(capacity.size.limitBytes));
}

TEST_F(WovenSessionTest, KeepsNoOriginalPictureToGiveBack) {
    const std::string cover = MakeFile("cover.png", MakePng(Png(PNG_COLOR_TYPE_RGB)));
    const std::string woven = Path("woven.png");
    ASSERT_EQ(HideAs(cover, CarrierFormat::Woven, {}, woven).reason, Reason::None);
    std::unique_ptr<UnlockedCarrier> session;
    ASSERT_TRUE(UnlockAt(woven, "pw", session).Ok());
    const Status status = session->SaveImagePart(Path("picture.png"), false);
    EXPECT_EQ(status.reason, Reason::WovenImagePartLost);
    EXPECT_FALSE(std::filesystem::exists(Path("picture.png")));
}

// One key derivation per open: the data tried follows from what ends the file.
TEST_F(WovenSessionTest, TriesOneFormatByWhatEndsTheFile) {
    const Bytes png = MakePng(Png(PNG_COLOR_TYPE_RGB));
    Bytes trailing = png;
    const Bytes tail = PseudoRandomBytes(300, 12);
    trailing.insert(trailing.end(), tail.begin(), tail.end());
    Bytes gif = {'G', 'I', 'F', '8', '9', 'a'};
    const struct {
        const char* name;
        Bytes file;
        bool sealed;
        bool woven;
    } cases[] = {
        {"a PNG that ends the file", png, false, true},
        {"a PNG followed by bytes", trailing, true, false},
        {"a BMP that ends the file", MakeBmp(24, false, 0, 0xFF0000, 100, 80), false, true},
        {"bytes of no known kind", PseudoRandomBytes(500, 13), true, false},
        {"a GIF cut short", gif, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<OpenedCarrier> opened = OpenAt(MakeFile("file", c.file));
        ASSERT_NE(opened, nullptr);
        EXPECT_EQ(opened->MayHoldSealedData(), c.sealed);
        EXPECT_EQ(opened->MayHoldWovenData(), c.woven);
    }
}

// Keys made ahead save the derivation of the first write alone, and are spent by it: a
// second write of the save (dropping damage its read-back found) derives keys of its own,
// and a save that fails after writing leaves none to use again. One salt seals one content.
TEST_F(WovenSessionTest, KeysMadeAheadServeOneWrite) {
    const std::string cover = MakeFile("cover.png", MakePng(Png(PNG_COLOR_TYPE_RGB)));
    const std::string small = MakeFile("a.bin", PseudoRandomBytes(200, 14));
    const std::string large = MakeFile("b.bin", PseudoRandomBytes(1200, 15));
    constexpr auto kRefuse = DamagedContent::Refuse;
    const struct {
        const char* name;
        bool keysAhead;
        bool garbled; // damage to b.bin that only the read-back finds
        DamagedContent damaged;
        Reason reason;
        uint64_t derivations;
        bool underKeysAhead; // the salt written is theirs
    } cases[] = {
        {"keys made ahead", true, false, kRefuse, Reason::None, 0, true},
        {"none made ahead", false, false, kRefuse, Reason::None, 1, false},
        {"damage refused after the write", true, true, kRefuse, Reason::DamagedContent, 0, false},
        {"damage dropped in a second write", true, true, DamagedContent::Drop, Reason::None, 1,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string carrier = Path("classic.png");
        ASSERT_EQ(HideAs(cover, CarrierFormat::Classic, {small, large}, carrier).reason,
                  Reason::None);
        if (c.garbled) {
            ASSERT_TRUE(GarbleEntry(carrier, "pw", "b.bin", 700));
        }
        std::unique_ptr<UnlockedCarrier> session;
        ASSERT_TRUE(UnlockAt(carrier, "pw", session).Ok());
        SealedSaveKeys ahead;
        ASSERT_TRUE(DeriveWovenSaveKeys(Password("pw"), ahead).Ok());
        const WovenSalt salt = ahead.woven.Salt();
        SaveRequest request;
        request.destination = Path("woven.png");
        request.keepMessage = true;
        for (const HiddenEntry& entry : session->Entries())
            request.keptEntries.push_back(entry.index);
        request.format = CarrierFormat::Woven;
        request.allowOverCapacity = true;
        request.damaged = c.damaged;
        request.sealedKeys = c.keysAhead ? &ahead : nullptr;
        const uint64_t before = KeyDerivationsSoFar();
        EXPECT_EQ(session->Save(request).reason, c.reason);
        EXPECT_EQ(KeyDerivationsSoFar() - before, c.derivations);
        EXPECT_EQ(ahead.woven.Empty(), c.keysAhead);
        if (c.reason != Reason::None) {
            EXPECT_FALSE(FileExists(request.destination));
            continue;
        }
        const UnweaveResult woven =
            Unweave(MemorySource(ReadFile(request.destination)), Password("pw"));
        ASSERT_EQ(woven.outcome, WovenOutcome::Ok);
        EXPECT_EQ(woven.keys.Salt() == salt, c.underKeysAhead);
        const Content content = Reveal(request.destination);
        ASSERT_EQ(content.status.reason, Reason::None);
        EXPECT_EQ(content.message, std::optional<std::string>(kMessage));
        EXPECT_EQ(content.files.count("b.bin"), c.garbled ? 0u : 1u);
        std::filesystem::remove(request.destination);
    }
}

} // namespace
} // namespace lumora::test
