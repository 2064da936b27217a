// SPDX-License-Identifier: GPL-2.0-or-later
#include "TerminalRun.h"

#include "CliRunner.h"

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace lumora::test {

TerminalRun::TerminalRun(const std::vector<std::string>& args, const std::string& stdoutPath,
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

TerminalRun::~TerminalRun() {
    if (m_child > 0) {
        ::kill(m_child, SIGKILL);
        ::waitpid(m_child, nullptr, 0);
    }
    ::close(m_master);
}

bool TerminalRun::WaitFor(const std::string& text) {
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

void TerminalRun::Type(const std::string& text) {
    ASSERT_EQ(::write(m_master, text.data(), text.size()), static_cast<ssize_t>(text.size()));
}

void TerminalRun::Signal(int signal) {
    ::kill(m_child, signal);
}

int TerminalRun::Wait() {
    int status = 0;
    ::waitpid(m_child, &status, 0);
    m_child = -1;
    return status;
}

void TerminalRun::Forget() {
    m_all += m_seen;
    m_seen.clear();
}

} // namespace lumora::test
