// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-cli on a pseudo-terminal that the test reads and types into: as its stderr, or
// as its controlling terminal (where prompts go).
#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace lumora::test {

class TerminalRun {
public:
    // stdout goes to stdoutPath; with a controlling terminal, stderr to stdoutPath + ".err".
    TerminalRun(const std::vector<std::string>& args, const std::string& stdoutPath,
                const std::optional<std::string>& password, bool controllingTerminal);
    ~TerminalRun();
    TerminalRun(const TerminalRun&) = delete;
    TerminalRun& operator=(const TerminalRun&) = delete;

    // Reads the terminal until `text` appeared; false after 60 s or when the program ended.
    bool WaitFor(const std::string& text);
    void Type(const std::string& text);
    void Signal(int signal);
    // The wait status of the program.
    int Wait();
    const std::string& Seen() const { return m_seen; }
    const std::string& All() const { return m_all; }
    // Starts the next WaitFor on what comes from now on.
    void Forget();

private:
    int m_master = -1;
    pid_t m_child = -1;
    std::string m_seen;
    std::string m_all;
};

} // namespace lumora::test
