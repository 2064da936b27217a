// SPDX-License-Identifier: GPL-2.0-or-later
// Sealed carriers through lumora-cli: every reading command on one, edit and passwd,
// a password that opens nothing, files without classic data at a terminal, pictures that
// hold sealed data already, damage, and what only the released program can show.
#include "CliTest.h"
#include "TerminalRun.h"

#include <filesystem>
#include <sys/wait.h>

using namespace lumora::test;

namespace {

const std::string kNotOpened = "no hidden data found, or the password does not open it";
constexpr size_t kTailSize = 88;
constexpr size_t kBaseSize = 1508; // base.png

class CliSealed : public CliTest {
protected:
    // A message, a small file and one that spans three 64 KiB chunks, behind base.png.
    std::string Hide(const std::string& name, bool sealed, const std::string& password = "pw") {
        const std::string small = MakeFile("small.txt", "small file\n");
        if (!FileExists(At("large.bin")))
            WriteFile(At("large.bin"), PseudoRandomBytes(150000, 3));
        std::vector<std::string> args{"-m", "sealed note", small, At("large.bin"), "--force"};
        if (sealed)
            args.push_back("--sealed");
        return HideInto(name, args, password);
    }

    // The "hiddenData" that info --json tells, with the password or without.
    std::string HiddenData(const std::string& file, const std::optional<std::string>& password) {
        const std::string out = Run({"info", "--json", file}, password).out;
        const std::string key = "\"hiddenData\": \"";
        const size_t at = out.find(key);
        if (at == std::string::npos)
            return "(none in " + out + ")";
        return out.substr(at + key.size(), out.find('"', at + key.size()) - at - key.size());
    }

    // The tail's salt: its first 16 bytes.
    std::vector<uint8_t> Salt(const std::string& file) {
        const auto bytes = ReadFile(file);
        return {bytes.end() - kTailSize, bytes.end() - kTailSize + 16};
    }
};

} // namespace

TEST_F(CliSealed, EveryReadingCommandOpensASealedCarrier) {
    const std::string carrier = Hide("s.png", true);
    const std::string base = ReferenceFile("base.png");
    const auto size = static_cast<int64_t>(ReadFile(carrier).size());
    struct Case {
        std::vector<std::string> args;
        std::string out;
    };
    const Case cases[] = {
        {{"list", "--json", carrier},
         "[{\"name\": \"small.txt\", \"size\": 11}, {\"name\": \"large.bin\", \"size\": "
         "150000}]\n"},
        {{"reveal", carrier}, "sealed note"},
        {{"extract", carrier, "small.txt", "--stdout"}, "small file\n"},
        {{"verify", carrier}, carrier + ": intact (3 hidden entries checked)\n"},
        {{"strip", carrier, "-o", At("plain.png")},
         Sha256Hex(base) + "  " + At("plain.png") + "\n"},
        {{"info", "--json", carrier},
         "{\"file\": \"" + carrier +
             "\", \"code\": \"ok\", \"hasTrailer\": false, \"valid\": false, \"version\": 0, "
             "\"imageLength\": 1508, \"payloadLength\": " +
             std::to_string(size - 1508) +
             ", \"messageLength\": 11, \"fileCount\": 2, \"filesTotalSize\": 150011, "
             "\"hiddenData\": \"sealed\"}\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0]);
        CliResult result = Run(c.args);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out, c.out);
    }
    EXPECT_EQ(ReadFile(At("plain.png")), ReadFile(base));
    ASSERT_EQ(Run({"reveal", carrier, "-d", At("out")}).status, 0);
    EXPECT_EQ(ReadFile(At("out/large.bin")), ReadFile(At("large.bin")));
    EXPECT_EQ(ReadText(At("out/small.txt")), "small file\n");
    // Without its password nothing shows, not even that the file is a carrier.
    CliResult unseen = Run({"info", carrier}, std::nullopt);
    EXPECT_EQ(unseen.status, 4);
    EXPECT_EQ(unseen.out.substr(0, unseen.out.find('\n')),
              carrier + ": no classic data (sealed data cannot be seen without its password)");
    EXPECT_EQ(Run({"scan", At("s.png")}, std::nullopt).out, "");
}

TEST_F(CliSealed, EditKeepsTheFormatAndConvertsBothWays) {
    struct Case {
        bool sealed;
        std::vector<std::string> args;
        const char* format;  // after the edit
        const char* message; // after the edit
    };
    const Case cases[] = {
        {true, {"-m", "changed"}, "sealed", "changed"},
        {false, {"-m", "changed"}, "classic", "changed"},
        {true, {"--classic"}, "classic", "sealed note"},
        {false, {"--sealed"}, "sealed", "sealed note"},
        {true, {"--sealed", "--clear-message"}, "sealed", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.sealed ? "sealed" : "classic") + " " + c.args[0]);
        const std::string carrier = Hide("c.png", c.sealed);
        std::vector<std::string> args{"edit", carrier, "--json"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        CliResult edited = Run(args);
        ASSERT_EQ(edited.status, 0) << edited.err;
        EXPECT_NE(edited.out.find(std::string("\"format\": \"") + c.format + "\""),
                  std::string::npos)
            << edited.out;
        // Seen from outside: a classic carrier shows, a sealed one does not.
        EXPECT_EQ(HiddenData(carrier, std::nullopt),
                  std::string(c.format) == "sealed" ? "unknown" : "classic");
        EXPECT_EQ(HiddenData(carrier, "pw"), c.format);
        EXPECT_EQ(Run({"reveal", carrier, "-d", At("out"), "--force"}).out, c.message);
        EXPECT_EQ(ReadFile(At("out/large.bin")), ReadFile(At("large.bin")));
    }
    CliResult both = Run({"edit", At("c.png"), "--sealed", "--classic"});
    EXPECT_EQ(both.status, 2);
    EXPECT_EQ(both.err, ErrorLine("give either --sealed or --classic\n"
                                  "Try 'lumora-cli edit --help'."));
}

TEST_F(CliSealed, PasswdKeepsASealedCarrierSealedUnderAFreshSalt) {
    const std::string carrier = Hide("c.png", true, "old password");
    const auto before = ReadFile(carrier);
    const std::string newPassword = MakeFile("new.txt", "new password\n");
    CliResult changed =
        Run({"passwd", carrier, "--new-password-file", newPassword}, "old password");
    ASSERT_EQ(changed.status, 0) << changed.err;
    const auto after = ReadFile(carrier);
    EXPECT_EQ(std::vector<uint8_t>(after.begin(), after.begin() + kBaseSize),
              std::vector<uint8_t>(before.begin(), before.begin() + kBaseSize));
    EXPECT_NE(Salt(carrier),
              std::vector<uint8_t>(before.end() - kTailSize, before.end() - kTailSize + 16));
    EXPECT_EQ(HiddenData(carrier, "new password"), "sealed");
    EXPECT_EQ(Run({"reveal", carrier}, "new password").out, "sealed note");
    CliResult old = Run({"reveal", carrier}, "old password");
    EXPECT_EQ(old.status, 4);
    EXPECT_EQ(old.err, ErrorLine(kNotOpened));
}

TEST_F(CliSealed, APasswordThatOpensNothingWritesNothing) {
    const std::string carrier = Hide("c.png", true);
    const auto before = ReadFile(carrier);
    const std::string newPassword = MakeFile("new.txt", "new\n");
    const std::vector<std::string> commands[] = {
        {"list", carrier},
        {"reveal", carrier, "-d", At("out")},
        {"extract", carrier, "small.txt", "-d", At("out")},
        {"verify", carrier},
        {"strip", carrier, "-o", At("out.png")},
        {"edit", carrier, "-m", "never"},
        {"edit", carrier, "--classic", "-o", At("out.png")},
        {"passwd", carrier, "--new-password-file", newPassword},
    };
    for (const auto& args : commands) {
        SCOPED_TRACE(args[0] + " " + args.back());
        CliResult result = Run(args, "wrong");
        EXPECT_EQ(result.status, 4);
        EXPECT_EQ(result.err, ErrorLine(kNotOpened));
        EXPECT_EQ(result.out, "");
    }
    CliResult info = Run({"info", carrier}, "wrong");
    EXPECT_EQ(info.status, 4);
    EXPECT_EQ(info.out.substr(0, info.out.find('\n')), carrier + ": " + kNotOpened);
    EXPECT_EQ(ReadFile(carrier), before);
    EXPECT_FALSE(FileExists(At("out")));
    EXPECT_FALSE(FileExists(At("out.png")));
}

TEST_F(CliSealed, AtATerminalWithoutAPasswordSourceItStopsAtOnceWithAHint) {
    const std::string carrier = Hide("c.png", true);
    const std::string hint =
        "no classic data in " + carrier + " (add --sealed to try a password on sealed data)";
    const std::vector<std::string> commands[] = {
        {"list", carrier},
        {"reveal", carrier},
        {"extract", carrier, "small.txt", "--stdout"},
        {"verify", carrier},
        {"strip", carrier, "-o", At("out.png")},
    };
    for (const auto& args : commands) {
        SCOPED_TRACE(args[0]);
        TerminalRun run(args, At("stdout"), std::nullopt, true);
        // Returns at a prompt, or once the program has ended.
        run.WaitFor("Password: ");
        ASSERT_EQ(run.Seen(), "") << "it asked for a password";
        const int status = run.Wait();
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 4);
        EXPECT_EQ(ReadText(At("stdout.err")), ErrorLine(hint));
    }
    EXPECT_FALSE(FileExists(At("out.png")));

    // --sealed asks, and asks again while the password opens nothing.
    TerminalRun asked({"reveal", carrier, "--sealed"}, At("stdout"), std::nullopt, true);
    ASSERT_TRUE(asked.WaitFor("Password: "));
    asked.Forget();
    asked.Type("wrong\n");
    ASSERT_TRUE(
        asked.WaitFor("No hidden data found, or the password does not open it; try again."));
    ASSERT_TRUE(asked.WaitFor("Password: "));
    asked.Type("pw\n");
    const int status = asked.Wait();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << ReadText(At("stdout.err"));
    EXPECT_EQ(ReadText(At("stdout")), "sealed note");
}

TEST_F(CliSealed, HidingBehindSealedDataCutsItOffOnlyWhenThePasswordOpensIt) {
    const std::string picture = Hide("picture.png", true, "pw");
    const auto pictureBytes = ReadFile(picture);
    const auto base = ReadFile(ReferenceFile("base.png"));
    struct Case {
        std::vector<std::string> format;
        std::string password;
        bool cut; // the new image part is base.png; else the whole sealed picture
    };
    const Case cases[] = {
        {{"--sealed"}, "pw", true},
        {{"--sealed"}, "another", false},
        {{}, "pw", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.format.empty() ? "classic, " : "sealed, ") + c.password);
        std::vector<std::string> args{"hide",    picture, "-o",   At("new.png"),
                                      "--force", "-m",    "newer"};
        args.insert(args.end(), c.format.begin(), c.format.end());
        CliResult hidden = Run(args, c.password);
        ASSERT_EQ(hidden.status, 0) << hidden.err;
        EXPECT_EQ(Run({"reveal", At("new.png")}, c.password).out, "newer");
        CliResult stripped =
            Run({"strip", At("new.png"), "-o", At("image.png"), "--force"}, c.password);
        ASSERT_EQ(stripped.status, 0) << stripped.err;
        EXPECT_EQ(ReadFile(At("image.png")), c.cut ? base : pictureBytes);
    }
}

TEST_F(CliSealed, ADamagedSealedCarrierIsRefusedWithNothingWritten) {
    const std::string carrier = Hide("c.png", true);
    auto bytes = ReadFile(carrier);
    // Inside the second of the three chunks.
    bytes[kBaseSize + 24 + 65553 + 100] ^= 0x01;
    WriteFile(carrier, bytes);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"reveal", carrier, "-d", At("out")},
          {"extract", carrier, "small.txt", "-d", At("out")},
          {"verify", carrier}}) {
        SCOPED_TRACE(args[0]);
        CliResult result = Run(args);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err.rfind("lumora-cli: the hidden data in " + carrier + " is damaged", 0),
                  0u)
            << result.err;
        EXPECT_EQ(result.out, "");
    }
    EXPECT_FALSE(FileExists(At("out")));
}

// The released program never tries the test parameters, and a derivation it cannot get
// the memory for is its own error.
TEST_F(CliSealed, TheReleasedProgramTriesOnlyTheReleasedParameters) {
    const std::string carrier = Hide("c.png", true);
    CliOptions released;
    released.released = true;
    CliResult tried = Run({"reveal", carrier}, "pw", released);
    EXPECT_EQ(tried.status, 4);
    EXPECT_EQ(tried.err, ErrorLine(kNotOpened));
    const std::string reference = ReferenceFile("long-password.jpg");
    CliResult classic =
        Run({"reveal", reference}, "0123456789abcdefghijklmnopqrstuvwxyz!?", released);
    EXPECT_EQ(classic.status, 0) << classic.err;
    EXPECT_EQ(classic.out, "Long passwords use their first 32 bytes.");
}

TEST_F(CliSealed, TooLittleMemoryForTheKeyIsNoWrongPassword) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than any tight limit allows";
#endif
    const std::string carrier = Hide("c.png", true);
    CliOptions tight;
    tight.released = true;
    tight.addressSpaceLimit = uint64_t{160} << 20; // Argon2 alone wants 256 MiB
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"reveal", carrier},
          {"hide", ReferenceFile("base.png"), "-o", At("new.png"), "--sealed", "-m", "x"}}) {
        SCOPED_TRACE(args[0]);
        CliResult result = Run(args, "pw", tight);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, ErrorLine("not enough memory to derive the key"));
    }
    EXPECT_FALSE(FileExists(At("new.png")));
    // A classic carrier needs no such memory.
    CliResult classic = Run({"hide", ReferenceFile("base.png"), "-o", At("new.png")}, "pw", tight);
    EXPECT_EQ(classic.status, 0) << classic.err;
}
