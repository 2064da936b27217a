// SPDX-License-Identifier: GPL-2.0-or-later
// Carriers written by an independent implementation of the format open and re-save.
#include "EngineTestSupport.h"

#include <algorithm>

namespace lumora::test {
namespace {

struct ReferenceFileInfo {
    std::string name;
    size_t size;
    std::string sha256;
};

struct ReferenceCarrier {
    std::string file;
    std::string base;
    std::string password;
    std::optional<std::string> message;
    CarrierTrailer numbers; // imageLength, payloadLength, messageLength, fileCount, total
    std::vector<ReferenceFileInfo> files;
};

CarrierTrailer Numbers(int32_t image, int32_t payload, int32_t message, int32_t count,
                       int32_t total) {
    CarrierTrailer t{};
    t.imageLength = image;
    t.payloadLength = payload;
    t.messageLength = message;
    t.fileCount = count;
    t.filesTotalSize = total;
    return t;
}

const std::vector<ReferenceCarrier>& References() {
    static const std::vector<ReferenceCarrier> list = {
        {"empty-password.gif",
         "base.gif",
         "",
         "Hello\r\nWorld",
         Numbers(3518, 3440, 12, 2, 3034),
         {{"hello.txt", 34, "c0f09827e42c4889b05dfa30118bb7e0f6d83e182d12cc5cfee8dc60fd4437d0"},
          {"data.bin", 3000, "4679080307ccd63e4c9cc4ab4736684dbaf39453b0becabe157509ee645d1323"}}},
        {"zero-check-record.png",
         "base.png",
         "correct horse battery staple",
         std::nullopt,
         Numbers(1508, 208, 0, 1, 2800),
         {{"notes.txt", 2800, "9996c6ce010214f8f053277bb2fac42e1f7a9463af2c9e87457747e4985acdb3"}}},
        {"long-password.jpg",
         "base.jpg",
         "0123456789abcdefghijklmnopqrstuvwxyz!?",
         "Long passwords use their first 32 bytes.",
         Numbers(1315, 70448, 40, 2, 70010),
         {{"a.bin", 70000, "57c478928df5d1512073d6c3a820dff5240a73ec974606f9a089f4d4de2d681a"},
          {"b.txt", 10, "6d2fe32dc4249ef7e7359c6d874fffbbf335e832e49a2681236e1b686af78794"}}},
        {"non-ascii.bmp",
         "base.bmp",
         "pässwörd",
         "Grüße\r\n日本語 — ok",
         Numbers(38538, 464, 25, 2, 17),
         {{"naïve résumé.txt", 8,
           "b1de61b8108f15d9913e0fa2e6371ed737fbe2be84e63a89ca8ae7a370322371"},
          {"日本.txt", 9, "77710aedc74ecfa33685e33a6c7df5cc83004da1bdcef7fb280f5c2b2e97e0a5"}}},
        {"backslash-names.gif",
         "base.gif",
         "pw",
         std::nullopt,
         Numbers(3518, 288, 0, 2, 8),
         {{"sub/inner.txt", 5, "33bf6fbd7cd8379785a21e233d8e09f824e7bab459168a96312c1c882c1d7e1f"},
          {"top.txt", 3, "28720365c5e7476a011e4f43ac003ee5f16247a263b9d623aa85ed311d73bf39"}}},
    };
    return list;
}

class ReferenceCarrierTest : public EngineTest {
protected:
    // Every hidden file of the open engine, checked against the listed sizes and digests.
    void ExpectFiles(CBindImage& engine, const std::vector<ReferenceFileInfo>& expected) {
        std::vector<std::string> names;
        FileSlot slot;
        for (int k = engine.FirstFileSlot(slot); k >= 0; k = engine.NextFileSlot(slot, k)) {
            names.push_back(slot.name);
            std::string copy;
            ASSERT_EQ(engine.ExtractHiddenFile(k, copy), 1) << slot.name;
            auto match = std::find_if(expected.begin(), expected.end(),
                                      [&](const auto& file) { return file.name == slot.name; });
            ASSERT_NE(match, expected.end()) << slot.name;
            EXPECT_EQ(slot.size, static_cast<int64_t>(match->size));
            EXPECT_EQ(Sha256Hex(copy), match->sha256) << slot.name;
        }
        EXPECT_EQ(names.size(), expected.size());
    }
};

TEST_F(ReferenceCarrierTest, OpensWithItsPasswordAndGivesBackMessageFilesAndNumbers) {
    for (const ReferenceCarrier& reference : References()) {
        SCOPED_TRACE(reference.file);
        CBindImage engine;
        ASSERT_EQ(engine.OpenCarrier(ReferenceFile(reference.file), OPEN_INSPECT), 1);
        ASSERT_EQ(engine.HasValidTrailer(), 1);
        EXPECT_EQ(engine.VerifyPassword(Password(reference.password)), 1);
        engine.SetPassword(Password(reference.password));
        ASSERT_EQ(engine.UnpackPayload(), 1);
        ASSERT_EQ(engine.SplitImagePart(), 1);

        const CarrierTrailer& t = engine.Trailer();
        EXPECT_EQ(t.imageLength, reference.numbers.imageLength);
        EXPECT_EQ(t.payloadLength, reference.numbers.payloadLength);
        EXPECT_EQ(t.messageLength, reference.numbers.messageLength);
        EXPECT_EQ(t.fileCount, reference.numbers.fileCount);
        EXPECT_EQ(t.filesTotalSize, reference.numbers.filesTotalSize);
        EXPECT_EQ(engine.Message(), reference.message);
        EXPECT_EQ(ReadFile(engine.ImageTempPath()), ReadFile(ReferenceFile(reference.base)));
        ExpectFiles(engine, reference.files);
    }
}

TEST_F(ReferenceCarrierTest, BackslashNamesKeepTheirFoldersWhenResaved) {
    std::string copy = Path("copy.gif");
    std::filesystem::copy_file(ReferenceFile("backslash-names.gif"), copy);
    ASSERT_EQ(Resave(copy, "pw", "now with a message", {"sub/inner.txt", "top.txt"}, {}, copy), 1);

    CBindImage engine;
    engine.SetPassword(Password("pw"));
    ASSERT_EQ(engine.OpenCarrier(copy, OPEN_UNPACK), 1);
    EXPECT_EQ(engine.Message(), "now with a message");
    ExpectFiles(engine, {{"sub/inner.txt", 5, References()[4].files[0].sha256},
                         {"top.txt", 3, References()[4].files[1].sha256}});
}

TEST_F(ReferenceCarrierTest, VersionTwoTrailerLoadsButIsNotValid) {
    CBindImage engine;
    engine.SetPassword(Password("pw"));
    EXPECT_EQ(engine.OpenCarrier(ReferenceFile("version2.bmp"), OPEN_SPLIT), 1);
    EXPECT_EQ(engine.Trailer().version, 2);
    EXPECT_EQ(engine.HasValidTrailer(), 0);
    EXPECT_EQ(engine.UnpackPayload(), 0);
    EXPECT_EQ(ReadFile(engine.ImageTempPath()), ReadFile(ReferenceFile("base.bmp")));
}

} // namespace
} // namespace lumora::test
