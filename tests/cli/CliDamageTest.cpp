// SPDX-License-Identifier: GPL-2.0-or-later
// What each command does with a partly damaged carrier; which hidden files a folder or
// pattern stands for; the last rough edges of saving (hard links, long passwords, many
// entries) and of the command line.
#include "support/CliTest.h"
#include "support/TerminalRun.h"

#include "engine/BindImage.h"
#include "support/GarbledEntry.h"

#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

using namespace lumora;
using namespace lumora::test;

namespace {

class CliDamage : public CliTest {};

struct DamagedRun {
    std::vector<std::string> args; // CARRIER stands for the damaged carrier
    int status;
    std::string out;    // expected standard output, when `exactOut`
    std::string reason; // of the JSON error, or empty
    bool exactOut = true;
};

} // namespace

TEST_F(CliDamage, EveryCommandReachesWhatIsIntact) {
    // b.txt does not deflate, so the block garbled in it holds nothing of another entry.
    const std::vector<uint8_t> noise = PseudoRandomBytes(2000, 5);
    const std::string good =
        HideInto("good.png", {"-m", "the message", MakeFile("a.txt", "aaa"),
                              MakeFile("b.txt", std::string(noise.begin(), noise.end()))});
    const std::string carrier = At("c.png");
    const DamagedRun runs[] = {
        {{"list", "CARRIER"}, 0, "     3 bytes  a.txt\n     2.00 KB  b.txt  (damaged)\n", ""},
        {{"verify", "CARRIER"}, 1, carrier + ": damaged:\n  b.txt\n", ""},
        {{"reveal", "CARRIER", "-d", At("out")}, 7, "the message", ""},
        {{"reveal", "CARRIER", "-d", At("json"), "--json"},
         7,
         "\"code\": \"partly-damaged\"",
         "",
         false},
        {{"edit", "CARRIER", "-m", "new", "-o", At("refused.png")}, 6, "", "damaged-content"},
        {{"passwd", "CARRIER", "--new-password-file", MakeFile("new-pw", "x\n")},
         6,
         "",
         "damaged-content"},
        {{"edit", "CARRIER", "-m", "kept", "-o", At("kept.png"), "--keep-damaged"}, 0, "", ""},
        {{"edit", "CARRIER", "-m", "dropped", "-o", At("dropped.png"), "--drop-damaged"},
         0,
         "",
         ""},
        {{"edit", "CARRIER", "-m", "x", "--keep-damaged", "--drop-damaged"}, 2, "", ""},
    };
    for (const DamagedRun& run : runs) {
        std::filesystem::copy_file(good, carrier,
                                   std::filesystem::copy_options::overwrite_existing);
        ASSERT_TRUE(GarbleEntry(carrier, "pw", "b.txt", 11));
        std::vector<std::string> args = run.args;
        for (std::string& arg : args)
            if (arg == "CARRIER")
                arg = carrier;
        SCOPED_TRACE(args[0] + " " + args.back());
        args.push_back("--json");
        if (std::count(args.begin(), args.end(), "--json") > 1 || run.reason.empty())
            args.pop_back();
        const CliResult result = Run(args);
        EXPECT_EQ(result.status, run.status) << result.err;
        if (!run.reason.empty())
            EXPECT_EQ(ReasonIn(result.out), run.reason) << result.out;
        else if (run.exactOut)
            EXPECT_EQ(result.out, run.out);
        else
            EXPECT_NE(result.out.find(run.out), std::string::npos) << result.out;
    }
    // What reveal wrote, and what the saves kept.
    EXPECT_EQ(ReadText(At("out/a.txt")), "aaa");
    EXPECT_FALSE(FileExists(At("out/b.txt")));
    EXPECT_FALSE(FileExists(At("refused.png")));
    EXPECT_EQ(Run({"list", At("kept.png")}).out,
              "     3 bytes  a.txt\n     2.00 KB  b.txt  (damaged)\n");
    EXPECT_EQ(Run({"list", At("dropped.png")}).out, "     3 bytes  a.txt\n");
    EXPECT_EQ(Run({"reveal", At("dropped.png")}).out, "dropped");
}

TEST_F(CliDamage, ANameStandsForAFileAFolderOrAPattern) {
    std::filesystem::create_directories(At("plans/sub"));
    MakeFile("plans/a.txt", "a");
    MakeFile("plans/sub/b.txt", "b");
    const std::string carrier =
        HideInto("c.png", {At("plans"), MakeFile("top.txt", "t"), MakeFile("*.txt", "star")});
    struct Case {
        std::string name;
        std::vector<std::string> written; // below the output folder; none: refused
    };
    const Case cases[] = {
        {"plans", {"plans/a.txt", "plans/sub/b.txt"}},
        {"plans/", {"plans/a.txt", "plans/sub/b.txt"}},
        {"plans/*", {"plans/a.txt", "plans/sub/b.txt"}},
        {"p*s/s?b/*", {"plans/sub/b.txt"}},
        {"top.txt", {"top.txt"}},
        {"*.txt", {"*.txt"}}, // an exact name wins over the pattern
        {"*.tx?", {"plans/a.txt", "plans/sub/b.txt", "top.txt", "*.txt"}},
        {"plan", {}},
        {"nothing*", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = At("out-" + std::to_string(&c - cases));
        const CliResult extracted = Run({"extract", carrier, c.name, "-d", out, "-q"});
        EXPECT_EQ(extracted.status, c.written.empty() ? 1 : 0) << extracted.err;
        size_t files = 0;
        if (std::filesystem::exists(out))
            for (const auto& entry : std::filesystem::recursive_directory_iterator(out))
                files += entry.is_regular_file() ? 1 : 0;
        EXPECT_EQ(files, c.written.size());
        for (const std::string& name : c.written)
            EXPECT_TRUE(FileExists(out + "/" + name)) << name;
    }
    ASSERT_EQ(Run({"edit", carrier, "--remove", "plans", "--remove", "*.txt"}).status, 0);
    EXPECT_EQ(Run({"list", carrier}).out, "      1 byte  top.txt\n");
}

TEST_F(CliDamage, StandardOutputTakesOnlyOneFileOfAName) {
    // The desktop program hides two files of one name from different folders.
    const std::string carrier = At("c.png");
    {
        CBindImage engine;
        engine.SetPassword(Password(std::string("pw")));
        ASSERT_EQ(engine.OpenCarrier(ReferenceFile("base.png"), OPEN_UNPACK), 1);
        engine.DropAllFiles();
        std::filesystem::create_directories(At("two"));
        ASSERT_EQ(engine.AddFileSlot(MakeFile("x.txt", "first"), SLOT_ADDED, -1, 0), 0);
        ASSERT_EQ(engine.AddFileSlot(MakeFile("two/x.txt", "second"), SLOT_ADDED, -1, 0), 1);
        ASSERT_EQ(engine.SaveCarrier(carrier), 1);
    }
    const CliResult both = Run({"extract", carrier, "x.txt", "--stdout"});
    EXPECT_EQ(both.status, 1);
    EXPECT_EQ(both.out, "");
    EXPECT_EQ(both.err, ErrorLine("2 hidden files are named x.txt in " + carrier +
                                  ": standard output can take only one"));
    const CliResult folder = Run({"extract", carrier, "x.txt", "-d", At("out"), "-q"});
    EXPECT_EQ(folder.status, 0) << folder.err;
    EXPECT_EQ(ReadText(At("out/x (2).txt")), "second");
}

TEST_F(CliDamage, SavesInPlaceThroughAHardLinkAndOnCarriersOfManyEntries) {
    const std::string carrier = HideInto("c.png", {"-m", "old"});
    ASSERT_EQ(::link(carrier.c_str(), At("hard.png").c_str()), 0);
    const CliResult edited = Run({"edit", carrier, "-o", At("hard.png"), "-m", "new"});
    EXPECT_EQ(edited.status, 0) << edited.err;
    EXPECT_EQ(Run({"reveal", At("hard.png")}).out, "new");

    std::vector<std::string> files;
    std::filesystem::create_directories(At("many"));
    for (int i = 0; i < 100; ++i)
        files.push_back(MakeFile("many/f" + std::to_string(i), "x"));
    const std::string full = HideInto("full.png", files);
    for (const std::vector<std::string>& more :
         {std::vector<std::string>{"--add", MakeFile("extra1", "1"), "--add",
                                   MakeFile("extra2", "2")},
          std::vector<std::string>{"-m", "a message as well"},
          std::vector<std::string>{"--add", MakeFile("extra3", "3")}}) {
        std::vector<std::string> args{"edit", full};
        args.insert(args.end(), more.begin(), more.end());
        const CliResult result = Run(args);
        EXPECT_EQ(result.status, 0) << result.err;
    }
    const std::string listed = Run({"list", full}).out;
    EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), 103);
    EXPECT_EQ(Run({"reveal", full}).out, "a message as well");
}

TEST_F(CliDamage, APasswordNotProvedWholeIsTypedTwiceBeforeASave) {
    const std::string password(40, 'l');
    // Nothing left to prove the password with: no message and no file.
    const std::string carrier = HideInto("c.png", {"-m", "m"}, password);
    ASSERT_EQ(Run({"edit", carrier, "--clear-message"}, password).status, 0);
    const CliResult refused = Run({"edit", carrier, "-m", "m", "--json"}, password);
    EXPECT_EQ(refused.status, 6);
    EXPECT_EQ(ReasonIn(refused.out), "password-unproved");

    // The typo first: once saved with a message, the message proves the password.
    for (const std::string& again : {password.substr(0, 32) + "typo", password}) {
        TerminalRun run = OnTerminal({"edit", carrier, "-m", "typed"}, TerminalUse::Controlling);
        ASSERT_TRUE(run.WaitFor("Password: "));
        run.Type(password + "\n");
        ASSERT_TRUE(run.WaitFor("Repeat password: ")) << run.Seen();
        run.Type(again + "\n");
        EXPECT_EQ(run.Wait().status, again == password ? 0 : 6);
    }
    EXPECT_EQ(Run({"reveal", carrier}, password).out, "typed");
}

TEST_F(CliDamage, SmallRoughEdgesOfTheCommandLine) {
    const std::string text = MakeFile("notes.txt", "just text\n");
    const std::string carrier = HideInto("c.png", {MakeFile("eight", "12345678")});
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err; // a part of standard error
    };
    const Case cases[] = {
        {{"hide", text, "-o", At("t.png"), "-m", "m"}, 6, "is not a picture Lumora can read"},
        {{"list", carrier, "-p", "pw"}, 2, "the password is never given on the command line"},
        {{"list", carrier, "--password=pw"}, 2, "use --password-file"},
        {{"info", carrier}, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args.back());
        const CliResult result = Run(c.args);
        EXPECT_EQ(result.status, c.status) << result.err;
        EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
    }
    EXPECT_EQ(Run({"list", carrier}).out, "     8 bytes  eight\n");
    // Sourced, as users add it to their .zshrc, the script defines the completion.
    WriteText(At("source.zsh"), "autoload -U compinit && compinit -u -d '" + At("zcompdump") +
                                    "'\nsource <('" + CliPath() +
                                    "' completion zsh)\nprint ${_comps[lumora-cli]}\n");
    EXPECT_EQ(
        std::system(("zsh -f '" + At("source.zsh") + "' > '" + At("zsh.out") + "' 2>&1").c_str()),
        0);
    EXPECT_EQ(ReadText(At("zsh.out")), "_lumora_cli\n");
}
