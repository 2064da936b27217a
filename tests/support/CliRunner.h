// SPDX-License-Identifier: GPL-2.0-or-later
// The one way tests run lumora-cli: as a user would, in its own session (no controlling
// terminal unless a TerminalRun gives it one), stdin from /dev/null unless given, a small
// controlled environment, stdout and stderr captured. The program is the test build, whose
// sealed carriers use the cheap test parameters, unless the released one is asked for.
#pragma once

#include "support/TestFiles.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace lumora::test {

struct CliResult {
    int status = -1; // exit status, or -1 when the program was ended by a signal
    int signal = 0;  // the signal that ended it, or 0
    std::string out;
    std::string err;
};

struct CliOptions {
    // Added to PATH=/usr/bin:/bin, HOME=/nonexistent and LANG=C.UTF-8, or replacing them.
    std::map<std::string, std::string> environment;
    std::optional<std::string> stdinFile;
    std::string workingFolder; // empty: the test's current folder
    bool released = false;     // run the released program, with the real key parameters
    // A copy of the program to run instead (CopyOfCli), whose working folders stay beside it.
    std::string program;
    std::optional<uint64_t> addressSpaceLimit; // bytes, as ulimit -v sets it
    void (*prepare)() = nullptr;               // runs in the child just before the program
};

// The built program: the test build, or the released one.
std::string CliPath(bool released = false);

// Copies the built program into folder/bin; the copy's path.
std::string CopyOfCli(const std::string& folder, bool released = false);

// Where `program` keeps its working folders: "cache" beside it.
std::string CacheRootOf(const std::string& program);

// A pseudo-terminal's other end for the program: its stderr, or with `controlling` its
// controlling terminal (where prompts go; stderr is captured then).
struct TerminalSide {
    int fd = -1;
    bool controlling = false;
};

// lumora-cli started and not yet waited for; killed when the object goes first.
class CliChild {
public:
    CliChild(const std::vector<std::string>& args, const CliOptions& options,
             TerminalSide terminal = {});
    ~CliChild();
    CliChild(const CliChild&) = delete;
    CliChild& operator=(const CliChild&) = delete;

    pid_t Pid() const { return m_pid; }
    // Waits for the program to end: how it ended and what it wrote.
    CliResult Wait();

private:
    TempDir m_capture;
    pid_t m_pid = -1;
};

CliResult RunCli(const std::vector<std::string>& args, const CliOptions& options = {});

} // namespace lumora::test
