// SPDX-License-Identifier: GPL-2.0-or-later
// What needs a terminal: the progress line, Ctrl-C during a save, and the password prompt.
// The program runs on a pseudo-terminal that the test reads and types into.
#include "CliTest.h"
#include "TerminalRun.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

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
    auto cacheBefore = CacheEntries();

    const std::vector<std::string> commands[] = {
        {"hide", ReferenceFile("base.png"), "-o", At("dest/new.png"), At("in/big.bin")},
        {"edit", carrier, "--add", At("in/big.bin")},
    };
    for (const auto& args : commands) {
        SCOPED_TRACE(args[0]);
        TerminalRun run(args, At("stdout"), "pw", false);
        // Packing the files is a step of the save itself, after the carrier was read.
        ASSERT_TRUE(run.WaitFor("Packing files")) << "no progress shown: " << run.Seen();
        run.Signal(SIGINT);
        EXPECT_TRUE(run.WaitFor("lumora-cli: interrupted")) << run.Seen();
        int status = run.Wait();
        ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
        EXPECT_EQ(WTERMSIG(status), SIGINT);
        EXPECT_EQ(ReadText(At("stdout")), "");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(At("dest")), {}), 1)
            << "a partial carrier was left behind";
        EXPECT_EQ(ReadFile(carrier), carrierBefore);
        EXPECT_EQ(CacheEntries(), cacheBefore) << "the working folder was left behind";
    }
}

TEST_F(CliTerminal, PasswordIsAskedTwiceWithoutEchoForANewCarrier) {
    {
        TerminalRun run({"hide", ReferenceFile("base.png"), "-o", At("c.png"), "-m", "typed"},
                        At("stdout"), std::nullopt, true);
        ASSERT_TRUE(run.WaitFor("Password: "));
        run.Type("typed secret\n");
        ASSERT_TRUE(run.WaitFor("Repeat password: "));
        run.Type("typed secret\n");
        int status = run.Wait();
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << ReadText(At("stdout.err"));
        EXPECT_EQ(run.Seen().find("typed secret"), std::string::npos) << "the password was echoed";
    }
    EXPECT_EQ(Run({"reveal", At("c.png")}, "typed secret").out, "typed");

    TerminalRun mismatch({"hide", ReferenceFile("base.png"), "-o", At("d.png")}, At("stdout"),
                         std::nullopt, true);
    ASSERT_TRUE(mismatch.WaitFor("Password: "));
    mismatch.Type("one\n");
    ASSERT_TRUE(mismatch.WaitFor("Repeat password: "));
    mismatch.Type("two\n");
    int status = mismatch.Wait();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(ReadText(At("stdout.err")), ErrorLine("the passwords do not match"));
    EXPECT_FALSE(FileExists(At("d.png")));
}

TEST_F(CliTerminal, APromptAllowsThreeTriesAndNeverEchoes) {
    std::string carrier = HideInto("c.png", {"-m", "third time"}, "right");
    for (int wrong : {2, 3}) {
        SCOPED_TRACE(wrong);
        TerminalRun run({"reveal", carrier}, At("stdout"), std::nullopt, true);
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
        int status = run.Wait();
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), wrong < 3 ? 0 : 3);
        EXPECT_EQ(ReadText(At("stdout")), wrong < 3 ? "third time" : "");
        run.Forget();
        EXPECT_EQ(run.All().find("right"), std::string::npos) << "the password was echoed";
        EXPECT_EQ(run.All().find("wrong\r"), std::string::npos) << "the password was echoed";
    }
}

namespace {

// Whether the process pid is gone or only waits to be reaped.
bool Ended(const std::string& pid) {
    const std::string stat =
        FileExists("/proc/" + pid + "/stat") ? ReadText("/proc/" + pid + "/stat") : "";
    const size_t close = stat.rfind(')');
    return stat.empty() || (close != std::string::npos && stat.substr(close + 2, 1) == "Z");
}

} // namespace

TEST_F(CliTerminal, ASignalEndsThePasswordCommandWithItsWholeGroup) {
    // A command that ignores SIGTERM and leaves a process of its own behind.
    const std::string carrier = HideInto("c.png", {"-m", "x"});
    const std::string pids = At("pids");
    const std::string command =
        "sh -c 'trap \"\" TERM; sleep 300 & echo $$ $! > " + pids + "; echo started >&2; wait'";
    for (bool controllingTerminal : {true, false}) {
        SCOPED_TRACE(controllingTerminal ? "on the terminal" : "without one");
        std::remove(pids.c_str());
        TerminalRun run({"list", carrier, "--password-command", command}, At("stdout"),
                        std::nullopt, controllingTerminal);
        ASSERT_TRUE(run.WaitFor("started")) << run.Seen();
        run.Signal(SIGTERM);
        const int status = run.Wait();
        ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
        EXPECT_EQ(WTERMSIG(status), SIGTERM);
        std::istringstream started(ReadText(pids));
        std::string shell, sleeper;
        started >> shell >> sleeper;
        ASSERT_FALSE(sleeper.empty());
        // The orphan is reaped by someone else, a moment later.
        for (int i = 0; i < 100 && !Ended(sleeper); ++i)
            ::usleep(50000);
        EXPECT_TRUE(Ended(shell));
        EXPECT_TRUE(Ended(sleeper));
    }
}
