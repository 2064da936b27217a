// SPDX-License-Identifier: GPL-2.0-or-later
// Sealed carriers through lumora-cli: every reading command on one, edit and passwd,
// a password that opens nothing, files without classic data at a terminal, and what only
// the released program can show.
#include "support/CliTest.h"
#include "support/ReferenceCarriers.h"

#include <filesystem>

using namespace lumora::test;

namespace {

const std::string kNotOpened = "no hidden data found, or the password does not open it";

// The first 16 of the last 88 bytes.
std::vector<uint8_t> SaltOf(const std::vector<uint8_t>& carrier) {
    return {carrier.end() - 88, carrier.end() - 72};
}

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

    // Whether info --json, with the password or without, tells that hiddenData is `seen`.
    bool InfoSees(const std::string& file, const std::optional<std::string>& password,
                  const std::string& seen) {
        const std::string out = Run({"info", "--json", file}, password).out;
        return out.find("\"hiddenData\": \"" + seen + "\"") != std::string::npos;
    }
};

} // namespace

TEST_F(CliSealed, EveryReadingCommandOpensASealedCarrier) {
    const std::string carrier = Hide("s.png", true);
    const std::string base = ReferenceFile("base.png");
    const auto size = static_cast<int64_t>(ReadFile(carrier).size());
    const int64_t imageLength = ReferencePictureSize("base.png");
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
             "\"imageLength\": " +
             std::to_string(imageLength) +
             ", \"payloadLength\": " + std::to_string(size - imageLength) +
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
        EXPECT_TRUE(InfoSees(carrier, std::nullopt,
                             std::string(c.format) == "sealed" ? "unknown" : "classic"));
        EXPECT_TRUE(InfoSees(carrier, "pw", c.format));
        EXPECT_EQ(Run({"reveal", carrier, "-d", At("out"), "--force"}).out, c.message);
        EXPECT_EQ(ReadFile(At("out/large.bin")), ReadFile(At("large.bin")));
    }
}

TEST_F(CliSealed, PasswdKeepsASealedCarrierSealedUnderAFreshSalt) {
    const std::string carrier = Hide("c.png", true, "old password");
    const auto before = ReadFile(carrier);
    const std::string newPassword = MakeFile("new.txt", "new password\n");
    CliResult changed =
        Run({"passwd", carrier, "--new-password-file", newPassword}, "old password");
    ASSERT_EQ(changed.status, 0) << changed.err;
    EXPECT_NE(SaltOf(ReadFile(carrier)), SaltOf(before));
    EXPECT_TRUE(InfoSees(carrier, "new password", "sealed"));
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
        TerminalRun run = OnTerminal(args, TerminalUse::Controlling);
        // Returns at a prompt, or once the program has ended.
        run.WaitFor("Password: ");
        ASSERT_EQ(run.Seen(), "") << "it asked for a password";
        const CliResult ended = run.Wait();
        EXPECT_EQ(ended.status, 4);
        EXPECT_EQ(ended.err, ErrorLine(hint));
    }
    EXPECT_FALSE(FileExists(At("out.png")));

    // --sealed asks, and asks again while the password opens nothing.
    TerminalRun asked = OnTerminal({"reveal", carrier, "--sealed"}, TerminalUse::Controlling);
    ASSERT_TRUE(asked.WaitFor("Password: "));
    asked.Forget();
    asked.Type("wrong\n");
    ASSERT_TRUE(
        asked.WaitFor("No hidden data found, or the password does not open it; try again."));
    ASSERT_TRUE(asked.WaitFor("Password: "));
    asked.Type("pw\n");
    const CliResult ended = asked.Wait();
    EXPECT_EQ(ended.status, 0) << ended.err;
    EXPECT_EQ(ended.out, "sealed note");
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
#if !defined(__SANITIZE_ADDRESS__) // it reserves more address space than the limit allows
    released.addressSpaceLimit = uint64_t{160} << 20; // Argon2 alone wants 256 MiB
    CliResult tight = Run({"reveal", carrier}, "pw", released);
    EXPECT_EQ(tight.status, 1);
    EXPECT_EQ(tight.err, ErrorLine("not enough memory to derive the key"));
#endif
}
