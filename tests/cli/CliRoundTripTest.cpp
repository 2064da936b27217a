// SPDX-License-Identifier: GPL-2.0-or-later
// hide, reveal, list, extract and edit end to end through the built program.
#include "support/CliTest.h"
#include "support/ReferenceCarriers.h"

#include <filesystem>

using namespace lumora::test;

namespace {

class CliRoundTrip : public CliTest {};

std::string InfoJson(const std::string& key, int64_t value) {
    return "\"" + key + "\": " + std::to_string(value);
}

} // namespace

TEST_F(CliRoundTrip, MessagesComeBackAsTheyWereGivenWithLfLineBreaks) {
    struct Case {
        std::string given;
        std::string revealed;
        int storedLength; // the engine stores CR LF line breaks
    };
    const Case cases[] = {
        {"", "", 0},
        {"one line", "one line", 8},
        {"a\nb\n\nc\n", "a\nb\n\nc\n", 11},
        {"Grüße\n日本語 — ok", "Grüße\n日本語 — ok", 25},
        {"dos\r\nline", "dos\nline", 9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.given);
        std::string carrier = HideInto("m.png", {"-m", c.given, "--force"});
        CliResult revealed = Run({"reveal", carrier});
        EXPECT_EQ(revealed.status, 0) << revealed.err;
        EXPECT_EQ(revealed.out, c.revealed);
        EXPECT_EQ(revealed.err, "");
        CliResult info = Run({"info", "--json", carrier}, std::nullopt);
        EXPECT_NE(info.out.find(InfoJson("messageLength", c.storedLength)), std::string::npos)
            << info.out;
    }
}

TEST_F(CliRoundTrip, MessageFileAndStdinGiveTheSameMessage) {
    std::string text = "from a file\nsecond line\n";
    std::string file = MakeFile("message.txt", text);
    std::string fromFile = HideInto("f.png", {"--message-file", file});
    CliOptions options;
    options.stdinFile = file;
    CliResult fromStdin =
        Run({"hide", ReferenceFile("base.png"), "-o", At("s.png"), "--message-file", "-"}, "pw",
            options);
    ASSERT_EQ(fromStdin.status, 0) << fromStdin.err;
    EXPECT_EQ(Run({"reveal", fromFile}).out, text);
    EXPECT_EQ(Run({"reveal", At("s.png")}).out, text);
}

TEST_F(CliRoundTrip, ZeroOneAndHundredFilesComeBackByteForByte) {
    for (int count : {0, 1, 100}) {
        SCOPED_TRACE(count);
        std::filesystem::create_directories(At("in"));
        std::vector<std::string> args{"-m", "files", "--force"};
        for (int i = 0; i < count; ++i) {
            std::string path = At("in/file " + std::to_string(i) + ".bin");
            WriteFile(path, PseudoRandomBytes(static_cast<size_t>(i * 37 + 1), i));
            args.push_back(path);
        }
        std::string carrier = HideInto("many.png", args);
        std::string out = At("out" + std::to_string(count));
        CliResult revealed = Run({"reveal", carrier, "-d", out});
        ASSERT_EQ(revealed.status, 0) << revealed.err;
        EXPECT_EQ(revealed.out, "files");
        size_t written = 0;
        for (const auto& entry : std::filesystem::directory_iterator(out)) {
            ++written;
            std::string name = entry.path().filename().string();
            EXPECT_EQ(Sha256Hex(entry.path().string()), Sha256Hex(At("in/" + name))) << name;
        }
        EXPECT_EQ(written, static_cast<size_t>(count));
        std::filesystem::remove_all(At("in"));
    }
}

TEST_F(CliRoundTrip, NamesWithSpacesAndNonAsciiAreListedAndWritten) {
    std::string spaced = MakeFile("my notes.txt", "spaces");
    std::string accented = MakeFile("résumé 日本.txt", "accents");
    std::string carrier = HideInto("n.png", {spaced, accented});

    CliResult listed = Run({"list", "--json", carrier});
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(listed.out, "[{\"name\": \"my notes.txt\", \"size\": 6}, "
                          "{\"name\": \"résumé 日本.txt\", \"size\": 7}]\n");
    CliResult plain = Run({"list", carrier});
    EXPECT_EQ(plain.out, "      6 Byte  my notes.txt\n      7 Byte  résumé 日本.txt\n");

    ASSERT_EQ(Run({"extract", carrier, "résumé 日本.txt", "-d", At("x")}).status, 0);
    EXPECT_EQ(ReadText(At("x/résumé 日本.txt")), "accents");
    EXPECT_FALSE(FileExists(At("x/my notes.txt")));
}

TEST_F(CliRoundTrip, PasswordComesFromTheFileBeforeTheEnvironment) {
    MakeFile("pw.txt", "from file\r\nsecond line is ignored\n");
    std::string carrier =
        HideInto("p.png", {"-m", "secret", "--password-file", At("pw.txt")}, "not this one");
    EXPECT_EQ(Run({"reveal", carrier}, "from file").out, "secret");
    EXPECT_EQ(Run({"reveal", carrier, "--password-file", At("pw.txt")}, std::nullopt).out,
              "secret");
    CliResult wrong = Run({"reveal", carrier}, "not this one");
    EXPECT_EQ(wrong.status, 3);
    EXPECT_EQ(wrong.err, ErrorLine("wrong password"));
}

TEST_F(CliRoundTrip, EditInPlaceReplacesMessageAndFilesAndKeepsTheRest) {
    std::string keep = MakeFile("keep.bin", "kept bytes");
    std::string drop = MakeFile("drop.txt", "dropped");
    std::string carrier = HideInto("e.png", {"-m", "old", keep, drop});
    std::string added = MakeFile("added.txt", "new file");

    CliResult edited =
        Run({"edit", carrier, "-m", "new\nmessage", "--remove", "drop.txt", "--add", added});
    ASSERT_EQ(edited.status, 0) << edited.err;
    EXPECT_EQ(edited.out, "");
    EXPECT_EQ(Run({"list", "--json", carrier}).out,
              "[{\"name\": \"keep.bin\", \"size\": 10}, {\"name\": \"added.txt\", \"size\": 8}]\n");
    CliResult revealed = Run({"reveal", carrier, "-d", At("out")});
    EXPECT_EQ(revealed.out, "new\nmessage");
    EXPECT_EQ(ReadText(At("out/keep.bin")), "kept bytes");
    EXPECT_EQ(ReadText(At("out/added.txt")), "new file");
    // The image part stays the picture it was.
    auto bytes = ReadFile(carrier);
    auto image = ReadFile(ReferenceFile("base.png"));
    ASSERT_GT(bytes.size(), image.size());
    EXPECT_TRUE(std::equal(image.begin(), image.end(), bytes.begin()));

    ASSERT_EQ(Run({"edit", carrier, "--clear-message"}).status, 0);
    EXPECT_EQ(Run({"reveal", carrier}).out, "");
    EXPECT_EQ(Run({"list", carrier}).out, "     10 Byte  keep.bin\n      8 Byte  added.txt\n");
}

TEST_F(CliRoundTrip, EditToANewFileLeavesTheOriginalAlone) {
    std::string carrier = HideInto("o.png", {"-m", "original", MakeFile("a.txt", "a")});
    auto before = ReadFile(carrier);
    CliResult edited = Run({"edit", carrier, "-o", At("copy.png"), "--remove", "a.txt"});
    ASSERT_EQ(edited.status, 0) << edited.err;
    EXPECT_EQ(ReadFile(carrier), before);
    EXPECT_EQ(Run({"reveal", At("copy.png")}).out, "original");
    EXPECT_EQ(Run({"list", At("copy.png")}).out, "");
    EXPECT_EQ(Run({"list", carrier}).out, "      1 Byte  a.txt\n");
}

TEST_F(CliRoundTrip, HidingIntoACarrierReplacesItsHiddenData) {
    std::string first = HideInto("first.png", {"-m", "first", MakeFile("old.txt", "old")});
    CliResult again =
        Run({"hide", first, "-o", At("second.png"), "-m", "second", MakeFile("new.txt", "n")});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(Run({"reveal", At("second.png")}).out, "second");
    EXPECT_EQ(Run({"list", At("second.png")}).out, "      1 Byte  new.txt\n");
    CliResult info = Run({"info", "--json", At("second.png")}, std::nullopt);
    EXPECT_NE(info.out.find(InfoJson("imageLength", ReferencePictureSize("base.png"))),
              std::string::npos)
        << info.out;
}

TEST_F(CliRoundTrip, EmptyCarrierOpensWithNoMessageAndNoFiles) {
    std::string carrier = HideInto("empty.png", {});
    CliResult revealed = Run({"reveal", carrier, "-d", At("out")});
    EXPECT_EQ(revealed.status, 0) << revealed.err;
    EXPECT_EQ(revealed.out, "");
    EXPECT_EQ(Run({"list", "--json", carrier}).out, "[]\n");
    EXPECT_EQ(Run({"reveal", carrier}, "other").status, 3);
}

// --threads wins over LUMORA_THREADS, which is read only without it; any count gives a
// carrier that every other count reveals.
TEST_F(CliRoundTrip, ThreadCountComesFromTheOptionElseTheEnvironment) {
    std::string big;
    for (int i = 0; big.size() < 700000; ++i)
        big += "line " + std::to_string(i % 997) + " of a larger file\n";
    const std::string file = MakeFile("big.txt", big);
    const std::string small = MakeFile("small.txt", "small");
    struct Case {
        std::vector<std::string> threads;
        std::optional<std::string> environment;
        std::string error; // empty: the command works
    };
    const Case cases[] = {
        {{}, std::nullopt, ""},
        {{"--threads", "1"}, std::nullopt, ""},
        {{}, "2", ""},
        {{"--threads=3"}, "many", ""},
        {{}, "many", "LUMORA_THREADS needs a whole number from 1 to 64, not 'many'"},
        {{}, "0", "LUMORA_THREADS needs a whole number from 1 to 64, not '0'"},
        {{"--threads", "0"}, "2", "--threads needs a whole number from 1 to 64, not '0'"},
        {{"--threads", "65"},
         std::nullopt,
         "--threads needs a whole number from 1 to 64, not '65'"},
    };
    int made = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        CliOptions options;
        if (c.environment)
            options.environment.emplace("LUMORA_THREADS", *c.environment);
        const std::string number = std::to_string(made);
        const std::string carrier = At("c" + number + ".png");
        const std::string out = At("out" + number);
        std::vector<std::string> hide{
            "hide", ReferenceFile("base.png"), "-o", carrier, "-m", "note", file, small};
        hide.insert(hide.end(), c.threads.begin(), c.threads.end());
        const CliResult hidden = Run(hide, "pw", options);
        std::vector<std::string> reveal{"reveal", carrier, "-d", out};
        reveal.insert(reveal.end(), c.threads.begin(), c.threads.end());
        if (!c.error.empty()) {
            EXPECT_EQ(hidden.status, 2);
            EXPECT_EQ(hidden.err, ErrorLine(c.error + "\nTry 'lumora-cli hide --help'."));
            EXPECT_FALSE(FileExists(carrier));
            continue;
        }
        ASSERT_EQ(hidden.status, 0) << hidden.err;
        const CliResult revealed = Run(reveal, "pw", options);
        ASSERT_EQ(revealed.status, 0) << revealed.err;
        EXPECT_EQ(revealed.out, "note");
        EXPECT_EQ(ReadText(out + "/big.txt"), big);
        EXPECT_EQ(ReadText(out + "/small.txt"), "small");
        EXPECT_EQ(Run({"verify", carrier, "--threads", "2"}).status, 0);
        EXPECT_EQ(ReadFile(carrier).size(), ReadFile(At("c0.png")).size());
        ++made;
    }
    EXPECT_EQ(made, 4);
    const CliResult list = Run({"list", At("c0.png"), "--threads", "2"});
    EXPECT_EQ(list.status, 2);
}
