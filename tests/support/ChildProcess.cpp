// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/ChildProcess.h"

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace lumora::test {

int RunInChild(const std::function<int()>& work) {
    pid_t child = ::fork();
    if (child == 0) {
        int result = 126;
        try {
            result = work();
        } catch (...) {
        }
        ::_exit(result);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child)
        return -1;
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

WaitingChild::WaitingChild(const std::function<char()>& setup) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return;
    m_pid = ::fork();
    if (m_pid == 0) {
        ::close(pipeFds[0]);
        char told = setup();
        if (::write(pipeFds[1], &told, 1) == 1)
            for (;;)
                ::pause();
        ::_exit(1);
    }
    ::close(pipeFds[1]);
    if (m_pid > 0 && ::read(pipeFds[0], &m_told, 1) != 1)
        m_told = '\0';
    ::close(pipeFds[0]);
}

WaitingChild::~WaitingChild() {
    Kill();
}

void WaitingChild::Kill() {
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}

} // namespace lumora::test
