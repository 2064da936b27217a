// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-cli in shells and scripts: messages from an editor, stdin and stdout, folders,
// password sources, passwd, what is said on stderr, JSON, scan, completions.
#include "support/CliTest.h"
#include "support/ReferenceCarriers.h"
#include "support/ShellCommand.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

using namespace lumora::test;

namespace {

class CliScripting : public CliTest {
protected:
    // An editor that records what it was given and its environment, then writes $NEWTEXT.
    std::string Editor() {
        std::string path = MakeFile("editor.sh", "#!/bin/sh\n"
                                                 "env > \"$RECORD.env\"\n"
                                                 "cat \"$1\" > \"$RECORD.saw\"\n"
                                                 "printf '%s\\n' \"$NEWTEXT\" > \"$1\"\n");
        ::chmod(path.c_str(), 0755);
        return path;
    }

    CliResult RunWith(const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& environment,
                      const std::optional<std::string>& stdinFile = std::nullopt) {
        CliOptions options;
        options.environment = environment;
        options.stdinFile = stdinFile;
        return Run(args, std::nullopt, options);
    }
};

} // namespace

TEST_F(CliScripting, TheEditorWritesTheMessageAndNeverSeesThePassword) {
    const std::string editor = Editor();
    const std::string record = At("record");
    std::map<std::string, std::string> env{{"EDITOR", editor},
                                           {"RECORD", record},
                                           {"NEWTEXT", "first\nnote"},
                                           {"LUMORA_PASSWORD", "pw"}};
    std::string carrier = At("c.png");
    CliResult hidden = RunWith({"hide", ReferenceFile("base.png"), "-o", carrier, "-e"}, env);
    ASSERT_EQ(hidden.status, 0) << hidden.err;
    EXPECT_EQ(ReadText(record + ".saw"), "") << "hide starts with no message";
    EXPECT_EQ(ReadText(record + ".env").find("LUMORA_PASSWORD"), std::string::npos);
    EXPECT_EQ(Run({"reveal", carrier}).out, "first\nnote");

    env["NEWTEXT"] = "second";
    ASSERT_EQ(RunWith({"edit", carrier, "-e"}, env).status, 0);
    EXPECT_EQ(ReadText(record + ".saw"), "first\nnote\n") << "edit starts with the message";
    EXPECT_EQ(Run({"reveal", carrier}).out, "second");

    // VISUAL comes first; an editor that saves the text as it was changes nothing.
    const auto before = ReadFile(carrier);
    env["VISUAL"] = "true";
    env["EDITOR"] = "false";
    CliResult unchanged = RunWith({"edit", carrier, "-e"}, env);
    EXPECT_EQ(unchanged.status, 0) << unchanged.err;
    EXPECT_EQ(unchanged.err,
              ErrorLine("the message is unchanged; " + carrier + " was left as it was"));
    EXPECT_EQ(ReadFile(carrier), before);
    env.erase("VISUAL");
    CliResult failed = RunWith({"edit", carrier, "-e"}, env);
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.err, ErrorLine("false failed while editing the message (exit status 1); "
                                    "nothing was saved"));
    EXPECT_EQ(ReadFile(carrier), before);
}

TEST_F(CliScripting, CarriersAndHiddenFilesTravelThroughStdinAndStdout) {
    std::string carrier = HideInto("c.png", {"-m", "piped", MakeFile("a.txt", "file a")});
    // Written to stdout only once complete: the runner keeps stdout in a file.
    CliResult toStdout = Run({"hide", ReferenceFile("base.png"), "-o", "-", "-m", "to stdout"});
    ASSERT_EQ(toStdout.status, 0) << toStdout.err;
    WriteText(At("from-stdout.png"), toStdout.out);
    EXPECT_EQ(Run({"reveal", At("from-stdout.png")}).out, "to stdout");

    CliOptions fromStdin;
    fromStdin.stdinFile = carrier;
    EXPECT_EQ(Run({"reveal", "-"}, "pw", fromStdin).out, "piped");
    CliResult copied = Run({"edit", "-", "-o", At("copy.png"), "-m", "copied"}, "pw", fromStdin);
    EXPECT_EQ(copied.status, 0) << copied.err;
    EXPECT_EQ(Run({"reveal", At("copy.png")}).out, "copied");
    CliResult extracted = Run({"extract", carrier, "a.txt", "a.txt", "--stdout"});
    EXPECT_EQ(extracted.status, 0) << extracted.err;
    EXPECT_EQ(extracted.out, "file a");

    struct Case {
        std::vector<std::string> args;
        std::string error;
    };
    const Case usage[] = {
        {{"edit", "-", "-m", "x"}, "edit - needs -o OUTPUT"},
        {{"list", "-", "--password-file", "-"},
         "only one of the carrier, the message and a password can come from standard input"},
        {{"hide", "-", "-o", At("x.png"), "--message-file", "-"},
         "only one of the carrier, the message and a password can come from standard input"},
        {{"strip", carrier, "-o", "-", "--json"},
         "--json cannot be used when data goes to standard output"},
        {{"extract", carrier, "a.txt", "--stdout", "-d", At("out")},
         "give either -d DIR or --stdout"},
    };
    for (const Case& c : usage) {
        CliResult result = Run(c.args, "pw", fromStdin);
        EXPECT_EQ(result.status, 2) << c.error;
        EXPECT_EQ(result.err.substr(0, result.err.find('\n') + 1), ErrorLine(c.error));
    }
    EXPECT_FALSE(FileExists(At("x.png")));
}

TEST_F(CliScripting, FoldersAreHiddenUnderTheirOwnNameWithoutLinksOrSpecialFiles) {
    std::filesystem::create_directories(At("docs/sub"));
    std::filesystem::create_directories(At("docs/empty"));
    MakeFile("docs/a.txt", "a");
    MakeFile("docs/sub/b.txt", "bb");
    MakeFile("outside.txt", "not inside");
    std::filesystem::create_symlink(At("outside.txt"), At("docs/link.txt"));
    ASSERT_EQ(::mkfifo(At("docs/fifo").c_str(), 0600), 0);
    std::filesystem::create_directories(At("real"));
    MakeFile("real/x.txt", "x");
    std::filesystem::create_directory_symlink(At("real"), At("named-link"));

    // A password too strong for a warning among the notes.
    const std::string strong = "correct horse battery staple";
    CliResult hidden =
        Run({"hide", ReferenceFile("base.png"), "-o", At("c.png"), At("docs/"), At("named-link")},
            strong);
    ASSERT_EQ(hidden.status, 0) << hidden.err;
    EXPECT_EQ(hidden.err, ErrorLine("skipping " + At("docs") + "/fifo: a FIFO") +
                              ErrorLine("skipping " + At("docs") + "/link.txt: a symbolic link"));
    EXPECT_EQ(Run({"list", At("c.png")}, strong).out, "      1 byte  docs/a.txt\n"
                                                      "     2 bytes  docs/sub/b.txt\n"
                                                      "      1 byte  named-link/x.txt\n");
    ASSERT_EQ(Run({"reveal", At("c.png"), "-d", At("out"), "-q"}, strong).status, 0);
    EXPECT_EQ(ReadText(At("out/docs/sub/b.txt")), "bb");
    EXPECT_FALSE(FileExists(At("out/docs/empty")));

    std::filesystem::create_directories(At("one/docs"));
    MakeFile("one/docs/a.txt", "other a");
    std::filesystem::create_directories(At("many"));
    for (int i = 0; i < 101; ++i)
        MakeFile("many/" + std::to_string(i), "");
    const std::pair<std::vector<std::string>, std::string> refused[] = {
        {{At("docs"), At("one/docs")},
         At("docs") + "/a.txt and " + At("one/docs") +
             "/a.txt would both be hidden as docs/a.txt; hidden "
             "files need different names"},
        {{At("many")}, "too many files: at most 100 files can be hidden, this would make 101"},
    };
    for (const auto& [files, error] : refused) {
        std::vector<std::string> args{"hide", ReferenceFile("base.png"), "-o", At("no.png"), "-q"};
        args.insert(args.end(), files.begin(), files.end());
        CliResult result = Run(args);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, ErrorLine(error));
    }
    EXPECT_FALSE(FileExists(At("no.png")));
}

TEST_F(CliScripting, PasswordsComeFromFilesDescriptorsAndCommandsWithoutTheVariable) {
    std::string carrier = HideInto("c.png", {"-m", "opened"}, "s3cret");
    std::string typed = MakeFile("typed.txt", "s3cret\nmore lines\n");
    // The command fails when it sees LUMORA_PASSWORD, which is set to a wrong one.
    const std::string command =
        "sh -c 'test -z \"${LUMORA_PASSWORD+set}\" && printf \"%s\\n\" s3cret'";
    struct Case {
        std::vector<std::string> options;
        int status;
        std::string err;
    };
    const Case cases[] = {
        {{"--password-file", "-"}, 0, ""},
        {{"--password-fd", "0"}, 0, ""},
        {{"--password-command", command}, 0, ""},
        {{"--password-command", "false"},
         1,
         ErrorLine("the password command false failed (exit status 1)")},
        {{"--password-command", "'unclosed"},
         1,
         ErrorLine("--password-command needs a command (with its quotes closed)")},
        {{"--password-fd", "0", "--password-file", typed},
         2,
         ErrorLine("give only one of --password-file, --password-fd and --password-command") +
             "Try 'lumora-cli reveal --help'.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options[1]);
        std::vector<std::string> args{"reveal", carrier};
        args.insert(args.end(), c.options.begin(), c.options.end());
        CliResult result = RunWith(args, {{"LUMORA_PASSWORD", "wrong"}}, typed);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.err, c.err);
        EXPECT_EQ(result.out, c.status == 0 ? "opened" : "");
    }
}

TEST_F(CliScripting, PasswdSavesUnderTheNewPasswordOnly) {
    std::string carrier = HideInto("c.png", {"-m", "kept", MakeFile("a.txt", "file a")}, "old");
    std::string fresh = MakeFile("new.txt", "brand new\n");
    CliResult changed = Run({"passwd", carrier, "--new-password-file", fresh}, "old");
    ASSERT_EQ(changed.status, 0) << changed.err;
    EXPECT_EQ(Run({"list", carrier}, "old").status, 3);
    EXPECT_EQ(Run({"list", carrier}, "brand new").out, "     6 bytes  a.txt\n");
    EXPECT_EQ(Run({"reveal", carrier}, "brand new").out, "kept");

    const auto before = ReadFile(carrier);
    WriteText(At("nul.txt"), std::string("ab\0cd\n", 6));
    CliResult nul = Run({"passwd", carrier, "--new-password-file", At("nul.txt")}, "brand new");
    EXPECT_EQ(nul.status, 1);
    EXPECT_EQ(nul.err, ErrorLine("a password cannot contain a NUL byte"));
    CliOptions fromStdin;
    fromStdin.stdinFile = fresh;
    CliResult both = Run({"passwd", carrier, "--password-file", "-", "--new-password-file", "-"},
                         std::nullopt, fromStdin);
    EXPECT_EQ(both.status, 2);
    CliResult noTerminal = Run({"passwd", carrier}, "brand new");
    EXPECT_EQ(noTerminal.status, 2);
    EXPECT_EQ(noTerminal.err.substr(0, noTerminal.err.find('\n') + 1),
              ErrorLine("no new password given: use --new-password-file, --new-password-fd or "
                        "--new-password-command, or run it from a terminal"));
    EXPECT_EQ(ReadFile(carrier), before);
}

TEST_F(CliScripting, WhatWasDoneIsToldOnStderrUnlessQuiet) {
    std::string carrier =
        HideInto("c.png", {"-m", "note", MakeFile("a.txt", "a"), MakeFile("b.txt", "b")});
    CliResult listed = Run({"reveal", carrier, "-d", At("out")});
    EXPECT_EQ(listed.err, At("out/a.txt") + "\n" + At("out/b.txt") + "\n");
    EXPECT_EQ(listed.out, "note");
    CliResult quiet = Run({"extract", carrier, "a.txt", "-d", At("out"), "--force", "-q"});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err, "");
    EXPECT_EQ(Run({"reveal", carrier}).err,
              ErrorLine("2 hidden files are not written; use -d DIR to write them"));
    EXPECT_EQ(Run({"reveal", carrier, "-q"}).err, "");
    CliResult verbose = Run({"verify", carrier, "-v"});
    EXPECT_NE(verbose.err.find(
                  ErrorLine("unlocked " + carrier + " with the password from LUMORA_PASSWORD")),
              std::string::npos)
        << verbose.err;
    EXPECT_NE(verbose.err.find(ErrorLine("Checking")), std::string::npos) << verbose.err;
    // Of -q and -v, the last one wins.
    CliResult quietLast = Run({"verify", carrier, "-v", "-q"});
    EXPECT_EQ(quietLast.status, 0);
    EXPECT_EQ(quietLast.err, "");
    CliResult verboseLast = Run({"verify", carrier, "-q", "-v"});
    EXPECT_EQ(verboseLast.status, 0);
    EXPECT_NE(verboseLast.err.find(ErrorLine("Checking")), std::string::npos) << verboseLast.err;
}

TEST_F(CliScripting, JsonTellsEveryResultAndErrorWithAStableCode) {
    std::string carrier = HideInto("c.png", {"-m", "m\x01", MakeFile("a.txt", "a")});
    std::string plain = ReferenceFile("base.png");
    struct Case {
        std::vector<std::string> args;
        std::string password;
        int status;
        std::string out;
    };
    const Case cases[] = {
        {{"list", "--json", carrier},
         "wrong",
         3,
         "[{\"file\": \"" + carrier +
             "\", \"code\": \"wrong-password\", \"reason\": \"wrong-password\", \"message\": "
             "\"wrong password\"}]\n"},
        {{"reveal", "--json", carrier},
         "wrong",
         3,
         "{\"file\": \"" + carrier +
             "\", \"code\": \"wrong-password\", \"reason\": \"wrong-password\", \"message\": "
             "\"wrong password\"}\n"},
        {{"hide", "--bogus", "--json"},
         "pw",
         2,
         "{\"file\": null, \"code\": \"usage\", \"message\": \"unknown option --bogus\"}\n"},
        {{"hide", "--json", plain, "-o", carrier, "-m", "m"},
         "pw",
         6,
         "{\"file\": \"" + carrier +
             "\", \"code\": \"needs-force\", \"reason\": \"destination-exists\", \"message\": "
             "\"" +
             carrier + " already exists (use --force to overwrite it)\"}\n"},
        {{"verify", "--json", carrier, plain, carrier},
         "pw",
         4,
         "[{\"file\": \"" + carrier +
             "\", \"code\": \"ok\", \"files\": 1, \"message\": true, \"damaged\": [], "
             "\"messageDamaged\": false}, {\"file\": \"" +
             plain +
             "\", \"code\": \"no-data\", \"reason\": \"woven-not-opened\", \"message\": \"no "
             "hidden data found, or the password does not open it\"}, {\"file\": \"" +
             carrier +
             "\", \"code\": \"ok\", \"files\": 1, \"message\": true, \"damaged\": [], "
             "\"messageDamaged\": false}]\n"},
        {{"reveal", "--json", carrier, "-d", At("out"), "-q"},
         "pw",
         0,
         "{\"file\": \"" + carrier +
             "\", \"code\": \"ok\", \"hiddenMessage\": \"m\\u0001\", \"entries\": [{\"name\": "
             "\"a.txt\", \"size\": 1, \"damaged\": false}], \"written\": [{\"name\": \"a.txt\", "
             "\"path\": \"" +
             At("out/a.txt") + "\"}]}\n"},
        {{"strip", "--json", carrier, "-o", At("p.png")},
         "pw",
         0,
         "{\"file\": \"" + carrier + "\", \"code\": \"ok\", \"output\": \"" + At("p.png") +
             "\", \"sha256\": \"" + Sha256Hex(plain) + "\"}\n"},
        {{"edit", "--json", carrier, "--clear-message"},
         "pw",
         0,
         "{\"file\": \"" + carrier +
             "\", \"code\": \"ok\", \"format\": \"classic\", \"hasMessage\": false, "
             "\"entries\": [{\"name\": \"a.txt\", \"size\": 1, \"damaged\": false}]}\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0]);
        CliResult result = Run(c.args, c.password);
        EXPECT_EQ(result.status, c.status) << result.err;
        EXPECT_EQ(result.out, c.out);
    }
}

TEST_F(CliScripting, TheProgramsOwnCommandsAnswerInJsonToo) {
    const std::string version = Run({"version"}).out;
    ASSERT_EQ(version.rfind("lumora-cli ", 0), 0u) << version;
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"version", "--json"},
         "{\"version\": \"" + version.substr(11, version.size() - 12) + "\"}\n"},
        {{"-V"}, version},
        {{"help", "version", "--json"}, "{\"command\": \"version\", \"help\": \"usage: "},
        {{"help", "--json"}, "{\"help\": \"usage: lumora-cli COMMAND"},
        {{"completion", "fish", "--json"}, "{\"shell\": \"fish\", \"script\": \"# fish"},
    };
    for (const auto& [args, start] : cases) {
        SCOPED_TRACE(args[0]);
        const CliResult result = Run(args);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out.substr(0, start.size()), start);
    }
}

TEST_F(CliScripting, ScanReportsCarriersWithoutOpeningAnythingElse) {
    std::filesystem::create_directories(At("tree/deep/er"));
    std::string carrier = HideInto("tree/deep/er/c.png", {"-m", "x"});
    std::filesystem::copy_file(ReferenceFile("base.png"), At("tree/plain.png"));
    auto bytes = ReadText(carrier);
    WriteText(At("tree/cut.png"), bytes.substr(100)); // lengths no longer fit the file
    // The payload and trailer alone, the image length set to 0: nothing to cut off, so no
    // carrier, as for opening it.
    std::string noImage = bytes.substr(1508);
    noImage.replace(noImage.size() - 60 + 52, 4, std::string(4, '\0'));
    WriteText(At("tree/no-image.png"), noImage);
    std::filesystem::create_symlink(carrier, At("tree/link.png"));
    // A plain open of a FIFO would wait for a writer for ever.
    ASSERT_EQ(::mkfifo(At("tree/fifo").c_str(), 0600), 0);

    CliResult found = Run({"scan", At("tree")}, std::nullopt);
    EXPECT_EQ(found.status, 0) << found.err;
    EXPECT_EQ(found.out,
              carrier + ": Lumora carrier, 0 hidden files, " +
                  std::to_string(bytes.size() -
                                 static_cast<size_t>(ReferencePictureSize("base.png")) - 60) +
                  " bytes hidden\n");
    CliResult json = Run({"scan", "--json", At("tree"), At("missing")}, std::nullopt);
    EXPECT_EQ(json.status, 1);
    EXPECT_NE(json.out.find("[{\"file\": \"" + carrier + "\", \"code\": \"ok\", \"imageLength\": " +
                            std::to_string(ReferencePictureSize("base.png")) +
                            ", \"payloadLength\": "),
              std::string::npos)
        << json.out;
    EXPECT_NE(json.out.find("{\"file\": \"" + At("missing") +
                            "\", \"code\": \"failure\", \"reason\": \"read-failed\", "
                            "\"message\": \"cannot read " +
                            At("missing") + ": No such file or directory\"}]\n"),
              std::string::npos)
        << json.out;
    EXPECT_EQ(json.err, ErrorLine("cannot read " + At("missing") + ": No such file or directory"));
}

TEST_F(CliScripting, BashCompletesCommandsOptionsAndValuesFromTheTable) {
    std::filesystem::create_directories(At("folder"));
    MakeFile("file.png", "");
    const std::pair<std::string, std::string> cases[] = {
        {"lumora-cli hi", "hide"},
        {"lumora-cli pa", "passwd"},
        {"lumora-cli --v", "--version"},
        {"lumora-cli list --password-f", "--password-fd --password-file"},
        {"lumora-cli reveal -d " + At("f"), At("folder")},
        {"lumora-cli hide " + At("fi"), At("file.png")},
        {"lumora-cli completion z", "zsh"},
        {"lumora-cli help sc", "scan"},
    };
    for (const auto& [line, offered] : cases) {
        // The words so far, and an empty one being completed when the line ends in a blank.
        WriteText(At("complete.sh"),
                  "source <('" + CliPath() +
                      "' completion bash)\n"
                      "COMP_WORDS=(" +
                      line +
                      ")\n"
                      "COMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n"
                      "_lumora_cli\n"
                      "printf '%s\\n' \"${COMPREPLY[@]}\" | sort | tr '\\n' ' '\n");
        EXPECT_EQ(CommandOutput("bash '" + At("complete.sh") + "'"), offered + " ") << line;
    }
}

TEST_F(CliScripting, ZshAndFishReadTheirScripts) {
    // scripts/setup installs both shells; their parsers check the quoting of the table's texts.
    for (std::string shell : {"zsh", "fish"}) {
        SCOPED_TRACE(shell);
        const std::string script = At("completion." + shell);
        ASSERT_EQ(std::system(
                      ("'" + CliPath() + "' completion " + shell + " > '" + script + "'").c_str()),
                  0);
        EXPECT_EQ(std::system((shell + " -n '" + script + "'").c_str()), 0);
    }
    EXPECT_EQ(CommandOutput("fish -c \"source '" + At("completion.fish") +
                            "'; complete -C 'lumora-cli pas'\""),
              "passwd\tsave a carrier under a new password\n");
}

TEST_F(CliScripting, TextPicturesAndDashedNamesNeedToBeAskedFor) {
    std::string svg = MakeFile("p.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\"/>\n");
    CliResult refused = Run({"hide", svg, "-o", At("c.svg"), "-m", "m"});
    EXPECT_EQ(refused.status, 6);
    EXPECT_EQ(refused.err,
              ErrorLine(svg + " is a picture in a text format (such as SVG), which shows nothing "
                              "once data follows its end (use --force to hide data in it anyway)"));
    EXPECT_FALSE(FileExists(At("c.svg")));
    EXPECT_EQ(Run({"hide", svg, "-o", At("c.svg"), "-m", "m", "--force"}).status, 0);

    CliOptions inScratch;
    inScratch.workingFolder = m_dir.Path();
    MakeFile("-x", "dashed");
    CliResult dashed =
        Run({"hide", ReferenceFile("base.png"), "-o", "c.png", "--", "-x"}, "pw", inScratch);
    ASSERT_EQ(dashed.status, 0) << dashed.err;
    EXPECT_EQ(Run({"extract", "c.png", "--stdout", "--", "-x"}, "pw", inScratch).out, "dashed");
}
