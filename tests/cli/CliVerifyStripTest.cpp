// SPDX-License-Identifier: GPL-2.0-or-later
// verify and strip: checking a carrier's hidden data, and getting its picture back.
#include "support/CliTest.h"
#include "support/ReferenceCarriers.h"

#include <filesystem>

using namespace lumora::test;

namespace {

class CliVerifyStrip : public CliTest {
protected:
    // A carrier from base.png with a message and an incompressible file of 40000 bytes.
    std::string MakeCarrier(const std::string& name) {
        WriteFile(At("data.bin"), PseudoRandomBytes(40000, 11));
        return HideInto(name, {"-m", "a message", At("data.bin")});
    }
};

void FlipByte(const std::string& path, size_t at) {
    auto bytes = ReadFile(path);
    ASSERT_LT(at, bytes.size());
    bytes[at] ^= 0x20;
    WriteFile(path, bytes);
}

size_t FileSize(const std::string& path) {
    return static_cast<size_t>(std::filesystem::file_size(path));
}

} // namespace

TEST_F(CliVerifyStrip, VerifyPassesAnIntactCarrierAndWritesNothing) {
    std::string carrier = MakeCarrier("c.png");
    auto before = FolderEntries(m_dir.Path());
    CliResult verified = Run({"verify", carrier});
    EXPECT_EQ(verified.status, 0) << verified.err;
    EXPECT_EQ(verified.out, carrier + ": intact (2 hidden entries checked)\n");
    EXPECT_EQ(verified.err, "");
    EXPECT_EQ(FolderEntries(m_dir.Path()), before);

    CliResult wrong = Run({"verify", carrier}, "not the password");
    EXPECT_EQ(wrong.status, 3);
    EXPECT_EQ(wrong.err, ErrorLine("wrong password"));
    CliResult plain = Run({"verify", ReferenceFile("base.png")});
    EXPECT_EQ(plain.status, 4);
    EXPECT_EQ(plain.err, ErrorLine("no hidden data found, or the password does not open it"));
    EXPECT_EQ(Run({"verify"}).status, 2);
}

TEST_F(CliVerifyStrip, VerifyFailsOnAFlippedPayloadByte) {
    std::string carrier = MakeCarrier("c.png");
    const auto good = ReadFile(carrier);
    const size_t imageEnd = FileSize(ReferenceFile("base.png"));
    const size_t payloadEnd = good.size() - 60;
    // The signature, the hidden file's data, the archive's directory at the end.
    for (size_t at : {imageEnd + 40, imageEnd + 300, (imageEnd + payloadEnd) / 2, payloadEnd - 30,
                      payloadEnd - 1}) {
        SCOPED_TRACE(at);
        WriteFile(carrier, good);
        FlipByte(carrier, at);
        CliResult verified = Run({"verify", carrier});
        EXPECT_EQ(verified.status, 1) << verified.err;
        EXPECT_EQ(verified.out, "");
        EXPECT_NE(verified.err.find("damaged"), std::string::npos) << verified.err;
    }
    // The picture is no part of the hidden data.
    WriteFile(carrier, good);
    FlipByte(carrier, 100);
    EXPECT_EQ(Run({"verify", carrier}).status, 0);
}

TEST_F(CliVerifyStrip, VerifyPassesTheReferenceCarriersAndFailsDamagedOnes) {
    for (const ReferenceCarrier& ref : ReferenceCarriers()) {
        SCOPED_TRACE(ref.file);
        CliResult verified = Run({"verify", ReferenceFile(ref.file)}, ref.password);
        EXPECT_EQ(verified.status, 0) << verified.err;

        // Without a password check record a damaged payload and a wrong password look
        // alike, so either failure is right; success never is.
        std::filesystem::copy_file(ReferenceFile(ref.file), At(ref.file));
        const auto imageEnd = static_cast<size_t>(ref.numbers.imageLength);
        FlipByte(At(ref.file), (imageEnd + FileSize(At(ref.file)) - 60) / 2);
        CliResult damaged = Run({"verify", At(ref.file)}, ref.password);
        EXPECT_TRUE(damaged.status == 1 || damaged.status == 3) << damaged.status << damaged.err;
    }
}

TEST_F(CliVerifyStrip, StripGivesBackThePictureByteForByte) {
    std::string own = MakeCarrier("c.png");
    std::vector<std::pair<std::string, std::string>> cases{{own, ReferenceFile("base.png")}};
    for (const ReferenceCarrier& ref : ReferenceCarriers())
        cases.emplace_back(ReferenceFile(ref.file), ReferenceFile(ref.base));
    for (const auto& [carrier, picture] : cases) {
        SCOPED_TRACE(carrier);
        std::string output = At("stripped");
        CliResult stripped = Run({"strip", carrier, "-o", output, "--force"}, std::nullopt);
        EXPECT_EQ(stripped.status, 0) << stripped.err;
        EXPECT_EQ(ReadFile(output), ReadFile(picture));
        EXPECT_EQ(stripped.out, Sha256Hex(picture) + "  " + output + "\n");
    }
}

TEST_F(CliVerifyStrip, StripNeverOverwritesWithoutForceAndRefusesPlainPictures) {
    std::string carrier = MakeCarrier("c.png");
    std::string output = MakeFile("out.png", "keep me");
    CliResult refused = Run({"strip", carrier, "-o", output}, std::nullopt);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, ErrorLine(output + " already exists (use --force to overwrite it)"));
    EXPECT_EQ(ReadText(output), "keep me");

    for (const std::string& plain : {ReferenceFile("base.png"), ReferenceFile(kVersion2Carrier)}) {
        CliResult none = Run({"strip", plain, "-o", At("none.png")}, std::nullopt);
        EXPECT_EQ(none.status, 4);
        EXPECT_EQ(none.err, ErrorLine("no classic data in " + plain +
                                      " (add --sealed to try a password on sealed data)"));
        EXPECT_FALSE(FileExists(At("none.png")));
    }
    EXPECT_EQ(Run({"strip", carrier}, std::nullopt).status, 2);
    EXPECT_EQ(FolderEntries(m_dir.Path()),
              (std::vector<std::string>{"c.png", "data.bin", "out.png"}));
}
