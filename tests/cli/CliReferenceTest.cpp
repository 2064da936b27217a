// SPDX-License-Identifier: GPL-2.0-or-later
// Carriers written by an independent implementation read correctly through the program.
#include "support/CliTest.h"
#include "support/ReferenceCarriers.h"

#include <filesystem>

using namespace lumora::test;

namespace {

// The carrier's numbers as `info --json` gives them.
std::string InfoJson(const ReferenceCarrier& ref) {
    return "{\"file\": \"" + ReferenceFile(ref.file) +
           "\", \"code\": \"ok\", \"hasTrailer\": true, \"valid\": true, \"version\": 1, "
           "\"imageLength\": " +
           std::to_string(ref.numbers.imageLength) +
           ", \"payloadLength\": " + std::to_string(ref.numbers.payloadLength) +
           ", \"messageLength\": " + std::to_string(ref.numbers.messageLength) +
           ", \"fileCount\": " + std::to_string(ref.numbers.fileCount) +
           ", \"filesTotalSize\": " + std::to_string(ref.numbers.filesTotalSize) +
           ", \"hiddenData\": \"classic\"}\n";
}

// The message as reveal prints it: LF line breaks.
std::string Revealed(const ReferenceCarrier& ref) {
    std::string text;
    for (size_t i = 0; i < ref.message.size(); ++i) {
        if (ref.message.compare(i, 2, "\r\n") != 0)
            text += ref.message[i];
    }
    return text;
}

class CliReference : public CliTest {};

} // namespace

TEST_F(CliReference, InfoGivesTheTrailerNumbersWithoutAPassword) {
    for (const auto& ref : ReferenceCarriers()) {
        SCOPED_TRACE(ref.file);
        CliResult info = Run({"info", "--json", ReferenceFile(ref.file)}, std::nullopt);
        EXPECT_EQ(info.status, 0) << info.err;
        EXPECT_EQ(info.out, InfoJson(ref));
    }
}

TEST_F(CliReference, InfoShowsTheInformationPanelInDecimalUnits) {
    // Its sizes above 1000 bytes show as kilobytes of 1000 bytes with two decimals.
    const ReferenceCarrier& ref = ReferenceCarrierNamed("long-password.jpg");
    const std::string carrier = ReferenceFile(ref.file);
    CliResult info = Run({"info", carrier}, std::nullopt);
    EXPECT_EQ(info.status, 0);
    EXPECT_EQ(info.out, carrier +
                            ": Lumora carrier, trailer version 1\n"
                            "Image File Size: 71.76 KB\n"
                            "Image Part Size: 1.31 KB\n"
                            "Hidden Text Messages Size: " +
                            std::to_string(ref.numbers.messageLength) +
                            " Byte\n"
                            "Hidden Files Number: " +
                            std::to_string(ref.numbers.fileCount) +
                            "\n"
                            "Hidden Files Total Size: 70.01 KB\n");
}

TEST_F(CliReference, ListAndRevealGiveTheHiddenContent) {
    for (const auto& ref : ReferenceCarriers()) {
        SCOPED_TRACE(ref.file);
        std::string carrier = ReferenceFile(ref.file);
        std::string expectedList = "[";
        for (const auto& file : ref.files)
            expectedList += (expectedList.size() > 1 ? ", " : "") + std::string("{\"name\": \"") +
                            file.name + "\", \"size\": " + std::to_string(file.size) + "}";
        CliResult listed = Run({"list", "--json", carrier}, ref.password);
        EXPECT_EQ(listed.status, 0) << listed.err;
        EXPECT_EQ(listed.out, expectedList + "]\n");

        std::string out = At(ref.file + ".out");
        CliResult revealed = Run({"reveal", carrier, "-d", out}, ref.password);
        EXPECT_EQ(revealed.status, 0) << revealed.err;
        EXPECT_EQ(revealed.out, Revealed(ref));
        for (const auto& file : ref.files)
            EXPECT_EQ(Sha256Hex(out + "/" + file.name), file.sha256) << file.name;
    }
}

TEST_F(CliReference, AllZeroCheckRecordsStillRefuseAWrongPassword) {
    for (const auto& ref : ReferenceCarriers()) {
        SCOPED_TRACE(ref.file);
        CliResult result =
            Run({"reveal", ReferenceFile(ref.file), "-d", At("never")}, ref.password + "x");
        EXPECT_EQ(result.status, 3);
        EXPECT_EQ(result.err, ErrorLine("wrong password"));
        EXPECT_EQ(result.out, "");
        EXPECT_FALSE(FileExists(At("never")));
    }
}

TEST_F(CliReference, EditKeepsTheFilesOfAForeignCarrier) {
    const ReferenceCarrier& ref = ReferenceCarrierNamed("long-password.jpg");
    std::filesystem::copy_file(ReferenceFile(ref.file), At("copy.jpg"));
    CliResult edited = Run({"edit", At("copy.jpg"), "-m", "replaced"}, ref.password);
    ASSERT_EQ(edited.status, 0) << edited.err;
    CliResult revealed = Run({"reveal", At("copy.jpg"), "-d", At("out")}, ref.password);
    EXPECT_EQ(revealed.out, "replaced");
    for (const auto& file : ref.files)
        EXPECT_EQ(Sha256Hex(At("out/" + file.name)), file.sha256) << file.name;
}

TEST_F(CliReference, EmptyPasswordCarrierCanBeEditedUnderItsPassword) {
    const ReferenceCarrier& ref = ReferenceCarrierNamed("empty-password.gif");
    ASSERT_TRUE(ref.password.empty());
    ASSERT_EQ(ref.files.size(), 2u);
    const ReferenceHiddenFile& kept = ref.files[0];
    std::filesystem::copy_file(ReferenceFile(ref.file), At("e.gif"));
    ASSERT_EQ(Run({"edit", At("e.gif"), "--remove", ref.files[1].name}, "").status, 0);
    EXPECT_EQ(Run({"list", "--json", At("e.gif")}, "").out,
              "[{\"name\": \"" + kept.name + "\", \"size\": " + std::to_string(kept.size) + "}]\n");
    EXPECT_EQ(Run({"reveal", At("e.gif")}, "").out, Revealed(ref));
}

// No valid classic trailer: only a password could tell sealed data there.
TEST_F(CliReference, AnUnknownTrailerVersionCarriesNoClassicData) {
    std::string carrier = ReferenceFile(kVersion2Carrier);
    CliResult info = Run({"info", "--json", carrier}, std::nullopt);
    EXPECT_EQ(info.status, 4);
    EXPECT_NE(info.out.find("\"code\": \"no-data\""), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("\"hasTrailer\": true, \"valid\": false, \"version\": 2"),
              std::string::npos)
        << info.out;
    EXPECT_NE(info.out.find("\"hiddenData\": \"unknown\""), std::string::npos) << info.out;
    CliResult text = Run({"info", carrier}, std::nullopt);
    EXPECT_EQ(text.out.substr(0, text.out.find('\n')),
              carrier + ": no classic data (unsupported trailer version 2; sealed data cannot be "
                        "seen without its password)");
    CliResult revealed = Run({"reveal", carrier});
    EXPECT_EQ(revealed.status, 4);
    EXPECT_EQ(revealed.err, ErrorLine("no hidden data found, or the password does not open it"));
}
