// SPDX-License-Identifier: GPL-2.0-or-later
// What needs a terminal: the progress line, Ctrl-C during a save, and the password prompt.
// The program runs on a pseudo-terminal that the test reads and types into.
#include "support/CliTest.h"

#include <csignal>
#include <filesystem>

using namespace lumora::test;

namespace {

class CliTerminal : public CliTest {};

} // namespace

TEST_F(CliTerminal, CtrlCDuringASaveLeavesNoPartialFileAndNoWorkingFolder) {
    std::filesystem::create_directories(At("in"));
    WriteFile(At("in/big.bin"), PseudoRandomBytes(24u << 20, 7));
    std::filesystem::create_directories(At("dest"));
    std::string carrier = HideInto("dest/carrier.png", {"-m", "kept"});
    auto carrierBefore = ReadFile(carrier);
    auto cacheBefore = FolderEntries(CacheRoot());

    const std::vector<std::string> commands[] = {
        {"hide", ReferenceFile("base.png"), "-o", At("dest/new.png"), At("in/big.bin")},
        {"edit", carrier, "--add", At("in/big.bin")},
    };
    for (const auto& args : commands) {
        SCOPED_TRACE(args[0]);
        TerminalRun run = OnTerminal(args, TerminalUse::Stderr, "pw");
        // Packing the files is a step of the save itself, after the carrier was read.
        ASSERT_TRUE(run.WaitFor("Packing files")) << "no progress shown: " << run.Seen();
        run.Signal(SIGINT);
        EXPECT_TRUE(run.WaitFor("lumora-cli: interrupted")) << run.Seen();
        const CliResult ended = run.Wait();
        EXPECT_EQ(ended.signal, SIGINT) << "exit status " << ended.status;
        EXPECT_EQ(ended.out, "");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(At("dest")), {}), 1)
            << "a partial carrier was left behind";
        EXPECT_EQ(ReadFile(carrier), carrierBefore);
        EXPECT_EQ(FolderEntries(CacheRoot()), cacheBefore) << "the working folder was left behind";
    }
}

TEST_F(CliTerminal, PasswordIsAskedTwiceWithoutEchoForANewCarrier) {
    {
        TerminalRun run =
            OnTerminal({"hide", ReferenceFile("base.png"), "-o", At("c.png"), "-m", "typed"},
                       TerminalUse::Controlling);
        ASSERT_TRUE(run.WaitFor("Password: "));
        run.Type("typed secret\n");
        ASSERT_TRUE(run.WaitFor("Repeat password: "));
        run.Type("typed secret\n");
        const CliResult ended = run.Wait();
        EXPECT_EQ(ended.status, 0) << ended.err;
        EXPECT_EQ(run.Seen().find("typed secret"), std::string::npos) << "the password was echoed";
    }
    EXPECT_EQ(Run({"reveal", At("c.png")}, "typed secret").out, "typed");

    TerminalRun mismatch = OnTerminal({"hide", ReferenceFile("base.png"), "-o", At("d.png")},
                                      TerminalUse::Controlling);
    ASSERT_TRUE(mismatch.WaitFor("Password: "));
    mismatch.Type("one\n");
    ASSERT_TRUE(mismatch.WaitFor("Repeat password: "));
    mismatch.Type("two\n");
    const CliResult ended = mismatch.Wait();
    EXPECT_EQ(ended.status, 1);
    EXPECT_EQ(ended.err, ErrorLine("the passwords do not match"));
    EXPECT_FALSE(FileExists(At("d.png")));
}

TEST_F(CliTerminal, APromptAllowsThreeTriesAndNeverEchoes) {
    std::string carrier = HideInto("c.png", {"-m", "third time"}, "right");
    for (int wrong : {2, 3}) {
        SCOPED_TRACE(wrong);
        TerminalRun run = OnTerminal({"reveal", carrier}, TerminalUse::Controlling);
        for (int i = 0; i < wrong; ++i) {
            ASSERT_TRUE(run.WaitFor("Password: "));
            run.Forget();
            run.Type("wrong\n");
            if (i + 1 < 3) {
                ASSERT_TRUE(run.WaitFor("Wrong password, try again."));
            }
        }
        if (wrong < 3) {
            ASSERT_TRUE(run.WaitFor("Password: "));
            run.Type("right\n");
        }
        const CliResult ended = run.Wait();
        EXPECT_EQ(ended.status, wrong < 3 ? 0 : 3);
        EXPECT_EQ(ended.out, wrong < 3 ? "third time" : "");
        run.Forget();
        EXPECT_EQ(run.All().find("right"), std::string::npos) << "the password was echoed";
        EXPECT_EQ(run.All().find("wrong\r"), std::string::npos) << "the password was echoed";
    }
}
