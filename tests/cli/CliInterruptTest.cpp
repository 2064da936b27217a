// SPDX-License-Identifier: GPL-2.0-or-later
// What needs a terminal: the progress line, Ctrl-C during a save, and the password prompt.
// The program runs on a pseudo-terminal that the test reads and types into.
#include "CliTest.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace lumora::test;

namespace {

// lumora-cli with a pseudo-terminal as its stderr, or as its controlling terminal.
class TerminalRun {
public:
    TerminalRun(const std::vector<std::string>& args, const std::string& stdoutPath,
                const std::optional<std::string>& password, bool controllingTerminal) {
        int slave = -1;
        if (::openpty(&m_master, &slave, nullptr, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        m_child = ::fork();
        if (m_child == 0) {
            ::setsid();
            int in = ::open("/dev/null", O_RDONLY);
            int out = ::open(stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (controllingTerminal) {
                ::ioctl(slave, TIOCSCTTY, 0);
                int err = ::open((stdoutPath + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
                ::dup2(err, 2);
            } else {
                ::dup2(slave, 2);
            }
            ::dup2(in, 0);
            ::dup2(out, 1);
            ::close(m_master);
            std::vector<std::string> environment{"PATH=/usr/bin:/bin", "LANG=C.UTF-8"};
            if (password)
                environment.push_back("LUMORA_PASSWORD=" + *password);
            ExecCli(args, std::move(environment));
        }
        ::close(slave);
    }
    ~TerminalRun() {
        if (m_child > 0) {
            ::kill(m_child, SIGKILL);
            ::waitpid(m_child, nullptr, 0);
        }
        ::close(m_master);
    }

    // Reads the terminal until `text` appeared; false after 60 s or when the program ended.
    bool WaitFor(const std::string& text) {
        for (int waited = 0; m_seen.find(text) == std::string::npos; ++waited) {
            pollfd fd{m_master, POLLIN, 0};
            if (waited > 600 || ::poll(&fd, 1, 100) < 0)
                return false;
            char buffer[4096];
            if ((fd.revents & POLLIN) == 0)
                continue;
            ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n <= 0)
                return false;
            m_seen.append(buffer, static_cast<size_t>(n));
        }
        return true;
    }

    void Type(const std::string& text) {
        ASSERT_EQ(::write(m_master, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    void Signal(int signal) { ::kill(m_child, signal); }

    int Wait() {
        int status = 0;
        ::waitpid(m_child, &status, 0);
        m_child = -1;
        return status;
    }
    const std::string& Seen() const { return m_seen; }
    const std::string& All() const { return m_all; }
    // Starts the next WaitFor on what comes from now on.
    void Forget() {
        m_all += m_seen;
        m_seen.clear();
    }

private:
    int m_master = -1;
    pid_t m_child = -1;
    std::string m_seen;
    std::string m_all;
};

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
