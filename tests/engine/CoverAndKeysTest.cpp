// SPDX-License-Identifier: GPL-2.0-or-later
// What a new carrier's cover may be, how many keys a hide derives, and what a carrier
// shows without a working folder.
#include "EngineTestSupport.h"

#include "crypt/KeyFormats.h"
#include "crypt/SealedKey.h"
#include "engine/CoverCheck.h"
#include "support/Sessions.h"

namespace lumora::test {
namespace {

struct CoverCase {
    const char* what;
    bool onPicture; // `after` follows the reference PNG; else it stands alone
    Bytes after;
    bool classicCarrier; // hidden into first, as classic, with `after` kept in its image part
    Reason reason;
    int64_t count;
};

class CoverTest : public EngineTest, public ::testing::WithParamInterface<CoverCase> {
protected:
    // Hides a message into `cover` as `format`; checkCover as given.
    Status HideInto(const std::string& cover, const std::string& dest, bool checkCover,
                    CarrierFormat format = CarrierFormat::Classic) {
        std::unique_ptr<OpenedCarrier> opened = OpenAt(cover);
        if (opened == nullptr)
            return Status::Fail(Reason::ReadFailed, cover);
        const Password password("pw");
        SaveRequest request;
        request.destination = Path(dest);
        request.message = "m";
        request.newPassword = &password;
        request.checkCover = checkCover;
        request.format = format;
        std::unique_ptr<UnlockedCarrier> saved;
        return OpenedCarrier::Hide(opened, request, saved);
    }
};

TEST_P(CoverTest, OnlyPicturesWithNothingKeptAfterThemAreCovers) {
    const CoverCase& c = GetParam();
    Bytes content = c.onPicture ? ReadFile(ReferenceFile("base.png")) : Bytes();
    content.insert(content.end(), c.after.begin(), c.after.end());
    std::string cover = MakeFile("cover", content);
    if (c.classicCarrier) {
        ASSERT_EQ(HideInto(cover, "carrier", false).reason, Reason::None);
        cover = Path("carrier");
    }
    std::unique_ptr<OpenedCarrier> opened = OpenAt(cover);
    ASSERT_NE(opened, nullptr);
    const Status checked = opened->CheckCover();
    EXPECT_EQ(checked.reason, c.reason);
    EXPECT_EQ(checked.count, c.count);
    EXPECT_EQ(HideInto(cover, "checked", true).reason, c.reason);
    EXPECT_EQ(FileExists(Path("checked")), c.reason == Reason::None);
    EXPECT_EQ(HideInto(cover, "unchecked", false).reason, Reason::None);
}

const Bytes kZip = {'P', 'K', 3, 4, 20, 0, 0, 0, 8, 0, 0, 0, 0, 0};

INSTANTIATE_TEST_SUITE_P(
    Covers, CoverTest,
    ::testing::Values(CoverCase{"plainPicture", true, {}, false, Reason::None, -1},
                      CoverCase{"zipArchive", false, kZip, false, Reason::NotAPicture,
                                static_cast<int64_t>(PictureKind::Zip)},
                      CoverCase{"bytesAfterThePicture", true, Bytes(1000, 7), false,
                                Reason::CoverHoldsData, 1000},
                      CoverCase{"classicCarrierOfAPlainPicture", true, {}, true, Reason::None, -1},
                      CoverCase{"classicCarrierKeepingBytes", true, Bytes(300, 9), true,
                                Reason::CoverHoldsData, 300}),
    [](const ::testing::TestParamInfo<CoverCase>& row) { return row.param.what; });

class SealedHideKeys : public CoverTest {
protected:
    SealedHideKeys() { UseSealedTestFormat(true); }
    ~SealedHideKeys() override { UseSealedTestFormat(false); }
};

TEST_F(SealedHideKeys, APlainPictureCostsOneKeyAndOnlyBytesAfterItASecond) {
    const struct {
        Bytes after;
        uint64_t keys;
    } cases[] = {{{}, 1}, {PseudoRandomBytes(5000, 1), 2}};
    for (const auto& c : cases) {
        Bytes content = ReadFile(ReferenceFile("base.png"));
        content.insert(content.end(), c.after.begin(), c.after.end());
        const std::string cover = MakeFile("cover.png", content);
        const uint64_t before = KeyDerivationsSoFar();
        ASSERT_EQ(HideInto(cover, "sealed.png", false, CarrierFormat::Sealed).reason, Reason::None);
        EXPECT_EQ(KeyDerivationsSoFar() - before, c.keys) << c.after.size();
    }
}

TEST_F(CoverTest, WithoutAWorkingFolderAFileShowsWhatItHoldsButDoesNotUnlock) {
    ASSERT_EQ(HideInto(ReferenceFile("base.png"), "carrier.png", true).reason, Reason::None);
    std::filesystem::remove_all(CacheFolder());
    MakeFile("cache", {'x'});
    std::unique_ptr<OpenedCarrier> opened = OpenAt(Path("carrier.png"));
    ASSERT_NE(opened, nullptr);
    EXPECT_TRUE(opened->HoldsClassicData());
    EXPECT_EQ(opened->Trailer().fileCount, 0);
    std::unique_ptr<UnlockedCarrier> unlocked;
    EXPECT_EQ(OpenedCarrier::Unlock(opened, Password("pw"), unlocked).reason, Reason::NoWorkFolder);
}

} // namespace
} // namespace lumora::test
