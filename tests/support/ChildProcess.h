// SPDX-License-Identifier: GPL-2.0-or-later
// Forked children for tests of what outlives or differs between processes: locks held by
// another process, a process killed in the middle of its work, a process with its own
// user or environment.
#pragma once

#include <functional>
#include <sys/types.h>

namespace lumora::test {

// Runs `work` in a forked child; its return value, or 128 + the signal that ended it.
int RunInChild(const std::function<int()>& work);

// A forked child that runs `setup`, tells its result (a character) and then waits until
// it is killed (SIGKILL, at the latest when the object goes).
class WaitingChild {
public:
    explicit WaitingChild(const std::function<char()>& setup);
    ~WaitingChild();
    WaitingChild(const WaitingChild&) = delete;
    WaitingChild& operator=(const WaitingChild&) = delete;

    // What setup told; '\0' when the child ended without telling.
    char Told() const { return m_told; }
    void Kill();

private:
    pid_t m_pid = -1;
    char m_told = '\0';
};

} // namespace lumora::test
