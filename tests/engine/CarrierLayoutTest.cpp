// SPDX-License-Identifier: GPL-2.0-or-later
// Byte layout of written carriers, trailer inspection, the message entry and the check
// record, checked against independent tools where they exist (unzip, openssl).
#include "EngineTestSupport.h"

#include "engine/TrailerCodec.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace lumora::test {
namespace {

using CarrierLayoutTest = EngineTest;

TrailerBytes LastSixtyBytes(const std::string& path) {
    Bytes bytes = ReadFile(path);
    TrailerBytes tail{};
    std::copy(bytes.end() - kTrailerSize, bytes.end(), tail.begin());
    return tail;
}

TEST_F(CarrierLayoutTest, A490ByteArchiveBehindA1000ByteImageMakesA1588ByteCarrier) {
    // Incompressible message bytes are stored, not deflated: 350 of them make the archive
    // 490 bytes long, which enciphers to a 32-byte signature and 496 bytes.
    Bytes noise = PseudoRandomBytes(350, 11);
    std::string message(noise.begin(), noise.end());
    std::replace(message.begin(), message.end(), '\0', 'x');
    std::replace(message.begin(), message.end(), '\n', 'x');
    std::string carrier = Path("carrier.bmp");
    CBindImage engine;
    engine.SetPassword(Password("pw"));
    ASSERT_EQ(engine.OpenCarrier(MakeImage(), OPEN_UNPACK), 1);
    engine.SetMessage(message);
    ASSERT_EQ(engine.SaveCarrier(carrier), 1);
    ASSERT_EQ(ReadFile(engine.PayloadTempPath()).size(), 490u);

    Bytes bytes = ReadFile(carrier);
    ASSERT_EQ(bytes.size(), 1588u);
    EXPECT_EQ(std::memcmp(bytes.data() + 1528 + 58, "VZ", 2), 0);
    CarrierTrailer t = DecodeTrailer(LastSixtyBytes(carrier));
    EXPECT_EQ(t.imageLength, 1000);
    EXPECT_EQ(t.payloadLength, 528);
    EXPECT_EQ(t.messageLength, 350);
    EXPECT_EQ(t.version, 1);
    EXPECT_EQ(std::memcmp(&t, &engine.Trailer(), sizeof t), 0);

    CBindImage split;
    EXPECT_EQ(split.OpenCarrier(carrier, OPEN_SPLIT), 1);
    EXPECT_EQ(ReadFile(split.ImageTempPath()), ReadFile(Path("image.bmp")));
    EXPECT_EQ(split.OpenCarrier(Path("image.bmp"), OPEN_SPLIT), 0);
    EXPECT_EQ(ReadFile(split.ImageTempPath()), ReadFile(Path("image.bmp")));
    EXPECT_EQ(split.OpenCarrier(Path("image.bmp"), OPEN_UNPACK), 1);
}

TEST_F(CarrierLayoutTest, TrailerNeedsSixtyBytesEndingInVZ) {
    CBindImage engine;
    EXPECT_EQ(engine.OpenCarrier(MakeFile("short", Bytes(59, 'V')), OPEN_INSPECT), 0);
    Bytes vz(60, 0);
    vz[58] = 'V';
    vz[59] = 'Z';
    EXPECT_EQ(engine.OpenCarrier(MakeFile("vz", vz), OPEN_INSPECT), 1);
    EXPECT_EQ(engine.HasValidTrailer(), 0); // version 0
    EXPECT_EQ(engine.OpenCarrier(Path("missing"), OPEN_INSPECT), 0);
    EXPECT_EQ(std::tuple(engine.LastStatus().reason, engine.LastStatus().subject,
                         engine.LastStatus().error),
              std::tuple(Reason::ReadFailed, Path("missing"), ENOENT));
    EXPECT_EQ(engine.OpenCarrier(m_dir.Path(), OPEN_INSPECT), 0);
}

TEST_F(CarrierLayoutTest, ForeignLengthsOutsideTheFileCarryNoPayloadAndKeepTheImageWhole) {
    std::string carrier = Path("carrier.bmp");
    ASSERT_EQ(Hide(MakeImage(), carrier, "pw", "text", {}), 1);
    Bytes original = ReadFile(carrier);
    size_t at = original.size() - kTrailerSize;
    struct Case {
        int32_t image, payload;
        size_t imagePart;
    };
    for (Case c : {Case{-5, 100, original.size()}, Case{1000, -1, 1000},
                   Case{0x7FFFFF00, 0x7FFFFF00, original.size()}, Case{1000, 5000, 1000}}) {
        SCOPED_TRACE(std::to_string(c.image) + "/" + std::to_string(c.payload));
        Bytes bytes = original;
        CarrierTrailer t = DecodeTrailer(LastSixtyBytes(carrier));
        t.imageLength = c.image;
        t.payloadLength = c.payload;
        TrailerBytes encoded = EncodeTrailer(t);
        std::copy(encoded.begin(), encoded.end(), bytes.begin() + static_cast<long>(at));
        std::string foreign = MakeFile("foreign.bmp", bytes);

        CBindImage engine;
        engine.SetPassword(Password("pw"));
        EXPECT_EQ(engine.OpenCarrier(foreign, OPEN_UNPACK), 1);
        EXPECT_EQ(engine.HasValidTrailer(), 0);
        EXPECT_EQ(engine.UnpackPayload(), 0);
        EXPECT_FALSE(engine.Message().has_value());
        EXPECT_EQ(ReadFile(engine.ImageTempPath()).size(), c.imagePart);
    }
}

TEST_F(CarrierLayoutTest, MessageIsStoredWithAnExtraCrBeforeEveryLfAndANul) {
    std::string carrier = Path("carrier.bmp");
    CBindImage engine;
    engine.SetPassword(Password("pw"));
    ASSERT_EQ(engine.OpenCarrier(MakeImage(), OPEN_UNPACK), 1);
    engine.SetMessage("ab\r\nc");
    ASSERT_EQ(engine.SaveCarrier(carrier), 1);
    EXPECT_EQ(engine.Trailer().messageLength, 5);
    std::string stored =
        CommandOutput("unzip -p -P pw '" + engine.PayloadTempPath() + "' veilnote.vnt");
    EXPECT_EQ(stored, std::string("ab\r\r\nc\0", 7));

    EXPECT_EQ(Reveal(carrier, "pw").message, "ab\r\nc");
}

TEST_F(CarrierLayoutTest, CheckRecordIsTheCheckTextUnderAes256OfThePassword) {
    std::string carrier = Path("carrier.bmp");
    ASSERT_EQ(Hide(MakeImage(), carrier, "secret", "m", {}), 1);
    const auto& text = CBindImage::CheckPlaintext();
    EXPECT_EQ(std::string(text.begin(), text.end()), "LumoraPwCheck-v1");

    std::string key = "736563726574" + std::string(52, '0'); // "secret" padded to 32 bytes
    std::string expected = CommandOutput("printf 'LumoraPwCheck-v1' | openssl enc -aes-256-ecb "
                                         "-nopad -K " +
                                         key + " | od -An -tx1 | tr -d ' \\n'");
    TrailerBytes tail = LastSixtyBytes(carrier);
    char hex[33] = {};
    for (int i = 0; i < 16; ++i)
        std::snprintf(hex + 2 * i, 3, "%02x", tail[static_cast<size_t>(i)]);
    EXPECT_EQ(std::string(hex), expected);

    CBindImage engine;
    ASSERT_EQ(engine.OpenCarrier(carrier, OPEN_INSPECT), 1);
    EXPECT_EQ(engine.VerifyPassword(Password("secret")), 1);
    EXPECT_EQ(engine.VerifyPassword(Password("Secret")), 0);
    EXPECT_EQ(engine.VerifyPassword(Password("")), 0);
}

TEST_F(CarrierLayoutTest, ResavingWithTheEmptyPasswordWritesAnAllZeroCheckRecord) {
    std::string carrier = Path("carrier.bmp");
    ASSERT_EQ(Hide(MakeImage(), carrier, "secret", "m", {}), 1);
    ASSERT_EQ(Hide(carrier, carrier, "", "again", {}), 1);
    TrailerBytes tail = LastSixtyBytes(carrier);
    EXPECT_TRUE(std::all_of(tail.begin(), tail.begin() + 16, [](uint8_t b) { return b == 0; }));

    CBindImage engine;
    ASSERT_EQ(engine.OpenCarrier(carrier, OPEN_INSPECT), 1);
    EXPECT_EQ(engine.VerifyPassword(Password("anything")), 1);
    EXPECT_EQ(Reveal(carrier, "").message, "again");
    EXPECT_EQ(Reveal(carrier, "anything").unpacked, 0);
}

} // namespace
} // namespace lumora::test
