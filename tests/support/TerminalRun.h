// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-cli on a pseudo-terminal that the test reads and types into: as its stderr, or
// as its controlling terminal (where prompts go).
#pragma once

#include "support/CliRunner.h"

#include <memory>
#include <string>
#include <vector>

namespace lumora::test {

enum class TerminalUse { Stderr, Controlling };

class TerminalRun {
public:
    TerminalRun(const std::vector<std::string>& args, TerminalUse use,
                const CliOptions& options = {});
    ~TerminalRun();
    TerminalRun(const TerminalRun&) = delete;
    TerminalRun& operator=(const TerminalRun&) = delete;

    // Reads the terminal until `text` appeared; false after 60 s or when the program ended.
    bool WaitFor(const std::string& text);
    void Type(const std::string& text);
    void Signal(int signal);
    // Waits for the program to end; with TerminalUse::Stderr its `err` is on the terminal.
    CliResult Wait();
    const std::string& Seen() const { return m_seen; }
    const std::string& All() const { return m_all; }
    // Starts the next WaitFor on what comes from now on.
    void Forget();

private:
    int m_master = -1;
    std::unique_ptr<CliChild> m_child;
    std::string m_seen;
    std::string m_all;
};

} // namespace lumora::test
