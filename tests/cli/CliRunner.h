// SPDX-License-Identifier: GPL-2.0-or-later
// Runs the built lumora-cli as a user would: its own session (no controlling terminal),
// stdin from /dev/null unless given, a small controlled environment, and stdout and
// stderr captured. The program is the test build, whose sealed carriers use the cheap
// test parameters, unless the released one is asked for.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace lumora::test {

struct CliResult {
    int status = -1; // exit status, or -1 when the program was ended by a signal
    int signal = 0;  // the signal that ended it, or 0
    std::string out;
    std::string err;
};

struct CliOptions {
    std::map<std::string, std::string> environment; // added to PATH, HOME and LANG
    std::optional<std::string> stdinFile;
    std::string workingFolder; // empty: the test's current folder
    bool released = false;     // run the released program, with the real key parameters
    std::optional<uint64_t> addressSpaceLimit; // bytes, as ulimit -v sets it
};

std::string CliPath();

// The folder where lumora-cli keeps its working folders (beside the binary).
std::string CliCacheRoot();

// Entries of the cache root, sorted.
std::vector<std::string> CacheEntries();

// Replaces the calling (child) process by lumora-cli (the test build, or the released one)
// with exactly these arguments and environment entries ("NAME=value").
[[noreturn]] void ExecCli(const std::vector<std::string>& args,
                          std::vector<std::string> environment, bool released = false);

CliResult RunCli(const std::vector<std::string>& args, const CliOptions& options = {});

} // namespace lumora::test
