// SPDX-License-Identifier: GPL-2.0-or-later
// Carriers written by an independent implementation read correctly through the program.
#include "CliTest.h"

#include <filesystem>

using namespace lumora::test;

namespace {

struct HiddenFileRef {
    std::string name;
    int size;
    std::string sha256;
};

struct ReferenceCarrier {
    std::string file;
    std::string password;
    std::string infoJson;
    std::string message; // as revealed: LF line breaks
    std::vector<HiddenFileRef> files;
};

std::string Json(const std::string& file, int image, int payload, int message, int count,
                 int total) {
    return "{\"file\": \"" + ReferenceFile(file) +
           "\", \"code\": \"ok\", \"hasTrailer\": true, \"valid\": true, \"version\": 1, "
           "\"imageLength\": " +
           std::to_string(image) + ", \"payloadLength\": " + std::to_string(payload) +
           ", \"messageLength\": " + std::to_string(message) +
           ", \"fileCount\": " + std::to_string(count) +
           ", \"filesTotalSize\": " + std::to_string(total) + ", \"hiddenData\": \"classic\"}\n";
}

const std::vector<ReferenceCarrier>& References() {
    static const std::vector<ReferenceCarrier> references = {
        {"empty-password.gif",
         "",
         Json("empty-password.gif", 3518, 3440, 12, 2, 3034),
         "Hello\nWorld",
         {{"hello.txt", 34, "c0f09827e42c4889b05dfa30118bb7e0f6d83e182d12cc5cfee8dc60fd4437d0"},
          {"data.bin", 3000, "4679080307ccd63e4c9cc4ab4736684dbaf39453b0becabe157509ee645d1323"}}},
        {"zero-check-record.png",
         "correct horse battery staple",
         Json("zero-check-record.png", 1508, 208, 0, 1, 2800),
         "",
         {{"notes.txt", 2800, "9996c6ce010214f8f053277bb2fac42e1f7a9463af2c9e87457747e4985acdb3"}}},
        {"long-password.jpg",
         "0123456789abcdefghijklmnopqrstuvwxyz!?",
         Json("long-password.jpg", 1315, 70448, 40, 2, 70010),
         "Long passwords use their first 32 bytes.",
         {{"a.bin", 70000, "57c478928df5d1512073d6c3a820dff5240a73ec974606f9a089f4d4de2d681a"},
          {"b.txt", 10, "6d2fe32dc4249ef7e7359c6d874fffbbf335e832e49a2681236e1b686af78794"}}},
        {"non-ascii.bmp",
         "pässwörd",
         Json("non-ascii.bmp", 38538, 464, 25, 2, 17),
         "Grüße\n日本語 — ok",
         {{"naïve résumé.txt", 8,
           "b1de61b8108f15d9913e0fa2e6371ed737fbe2be84e63a89ca8ae7a370322371"},
          {"日本.txt", 9, "77710aedc74ecfa33685e33a6c7df5cc83004da1bdcef7fb280f5c2b2e97e0a5"}}},
        {"backslash-names.gif",
         "pw",
         Json("backslash-names.gif", 3518, 288, 0, 2, 8),
         "",
         {{"sub/inner.txt", 5, "33bf6fbd7cd8379785a21e233d8e09f824e7bab459168a96312c1c882c1d7e1f"},
          {"top.txt", 3, "28720365c5e7476a011e4f43ac003ee5f16247a263b9d623aa85ed311d73bf39"}}},
    };
    return references;
}

class CliReference : public CliTest {};

} // namespace

TEST_F(CliReference, InfoGivesTheTrailerNumbersWithoutAPassword) {
    for (const auto& ref : References()) {
        SCOPED_TRACE(ref.file);
        CliResult info = Run({"info", "--json", ReferenceFile(ref.file)}, std::nullopt);
        EXPECT_EQ(info.status, 0) << info.err;
        EXPECT_EQ(info.out, ref.infoJson);
    }
}

TEST_F(CliReference, InfoShowsTheInformationPanelInDecimalUnits) {
    std::string carrier = ReferenceFile("long-password.jpg");
    CliResult info = Run({"info", carrier}, std::nullopt);
    EXPECT_EQ(info.status, 0);
    EXPECT_EQ(info.out, carrier + ": Lumora carrier, trailer version 1\n"
                                  "Image File Size: 71.76 KB\n"
                                  "Image Part Size: 1.31 KB\n"
                                  "Hidden Text Messages Size: 40 Byte\n"
                                  "Hidden Files Number: 2\n"
                                  "Hidden Files Total Size: 70.01 KB\n");
}

TEST_F(CliReference, ListAndRevealGiveTheHiddenContent) {
    for (const auto& ref : References()) {
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
        EXPECT_EQ(revealed.out, ref.message);
        for (const auto& file : ref.files)
            EXPECT_EQ(Sha256Hex(out + "/" + file.name), file.sha256) << file.name;
    }
}

TEST_F(CliReference, AllZeroCheckRecordsStillRefuseAWrongPassword) {
    for (const auto& ref : References()) {
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
    const auto& ref = References()[2]; // long-password.jpg
    std::filesystem::copy_file(ReferenceFile(ref.file), At("copy.jpg"));
    CliResult edited = Run({"edit", At("copy.jpg"), "-m", "replaced"}, ref.password);
    ASSERT_EQ(edited.status, 0) << edited.err;
    CliResult revealed = Run({"reveal", At("copy.jpg"), "-d", At("out")}, ref.password);
    EXPECT_EQ(revealed.out, "replaced");
    for (const auto& file : ref.files)
        EXPECT_EQ(Sha256Hex(At("out/" + file.name)), file.sha256) << file.name;
}

TEST_F(CliReference, EmptyPasswordCarrierCanBeEditedUnderItsPassword) {
    std::filesystem::copy_file(ReferenceFile("empty-password.gif"), At("e.gif"));
    ASSERT_EQ(Run({"edit", At("e.gif"), "--remove", "data.bin"}, "").status, 0);
    EXPECT_EQ(Run({"list", At("e.gif")}, "").out, "     34 Byte  hello.txt\n");
    EXPECT_EQ(Run({"reveal", At("e.gif")}, "").out, "Hello\nWorld");
}

// No valid classic trailer: only a password could tell sealed data there.
TEST_F(CliReference, AnUnknownTrailerVersionCarriesNoClassicData) {
    std::string carrier = ReferenceFile("version2.bmp");
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
