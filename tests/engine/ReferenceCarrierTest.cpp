// SPDX-License-Identifier: GPL-2.0-or-later
// Carriers written by an independent implementation of the format open and re-save.
#include "EngineTestSupport.h"
#include "support/ReferenceCarriers.h"

#include <algorithm>

namespace lumora::test {
namespace {

class ReferenceCarrierTest : public EngineTest {
protected:
    // Every hidden file of the open engine, checked against the listed sizes and digests.
    void ExpectFiles(CBindImage& engine, const std::vector<ReferenceHiddenFile>& expected) {
        std::vector<std::string> names;
        FileSlot slot;
        for (int k = engine.FirstFileSlot(slot); k >= 0; k = engine.NextFileSlot(slot, k)) {
            names.push_back(slot.name);
            std::string copy;
            ASSERT_EQ(engine.ExtractHiddenFile(k, copy), 1) << slot.name;
            auto match = std::find_if(expected.begin(), expected.end(),
                                      [&](const auto& file) { return file.name == slot.name; });
            ASSERT_NE(match, expected.end()) << slot.name;
            EXPECT_EQ(slot.size, match->size);
            EXPECT_EQ(Sha256Hex(copy), match->sha256) << slot.name;
        }
        EXPECT_EQ(names.size(), expected.size());
    }
};

TEST_F(ReferenceCarrierTest, OpensWithItsPasswordAndGivesBackMessageFilesAndNumbers) {
    for (const ReferenceCarrier& reference : ReferenceCarriers()) {
        for (bool inPlace : {false, true}) {
            SCOPED_TRACE(reference.file + (inPlace ? " read in place" : ""));
            CBindImage engine;
            engine.SetReadInPlace(inPlace);
            ASSERT_EQ(engine.OpenCarrier(ReferenceFile(reference.file), OPEN_INSPECT), 1);
            ASSERT_EQ(engine.HasValidTrailer(), 1);
            EXPECT_EQ(engine.VerifyPassword(Password(reference.password)), 1);
            engine.SetPassword(Password(reference.password));
            ASSERT_EQ(engine.UnpackPayload(), 1);
            EXPECT_EQ(std::filesystem::exists(engine.PayloadTempPath()), !inPlace);
            ASSERT_EQ(engine.SplitImagePart(), 1);

            const CarrierTrailer& t = engine.Trailer();
            EXPECT_EQ(t.imageLength, reference.numbers.imageLength);
            EXPECT_EQ(t.payloadLength, reference.numbers.payloadLength);
            EXPECT_EQ(t.messageLength, reference.numbers.messageLength);
            EXPECT_EQ(t.fileCount, reference.numbers.fileCount);
            EXPECT_EQ(t.filesTotalSize, reference.numbers.filesTotalSize);
            EXPECT_EQ(engine.Message(), reference.message.empty()
                                            ? std::nullopt
                                            : std::optional<std::string>(reference.message));
            EXPECT_EQ(ReadFile(engine.ImageTempPath()), ReadFile(ReferenceFile(reference.base)));
            ExpectFiles(engine, reference.files);
        }
    }
}

TEST_F(ReferenceCarrierTest, BackslashNamesKeepTheirFoldersWhenResaved) {
    const ReferenceCarrier& reference = ReferenceCarrierNamed("backslash-names.gif");
    std::string copy = Path("copy.gif");
    std::filesystem::copy_file(ReferenceFile(reference.file), copy);
    std::vector<std::string> kept;
    for (const ReferenceHiddenFile& file : reference.files)
        kept.push_back(file.name);
    ASSERT_EQ(Resave(copy, reference.password, "now with a message", kept, {}, copy), 1);

    CBindImage engine;
    engine.SetPassword(Password(reference.password));
    ASSERT_EQ(engine.OpenCarrier(copy, OPEN_UNPACK), 1);
    EXPECT_EQ(engine.Message(), "now with a message");
    ExpectFiles(engine, reference.files);
}

TEST_F(ReferenceCarrierTest, VersionTwoTrailerLoadsButIsNotValid) {
    CBindImage engine;
    engine.SetPassword(Password("pw"));
    EXPECT_EQ(engine.OpenCarrier(ReferenceFile(kVersion2Carrier), OPEN_SPLIT), 1);
    EXPECT_EQ(engine.Trailer().version, 2);
    EXPECT_EQ(engine.HasValidTrailer(), 0);
    EXPECT_EQ(engine.UnpackPayload(), 0);
    EXPECT_EQ(ReadFile(engine.ImageTempPath()), ReadFile(ReferenceFile(kVersion2Base)));
}

} // namespace
} // namespace lumora::test
