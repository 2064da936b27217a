// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/TerminalRun.h"

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <unistd.h>

namespace lumora::test {

TerminalRun::TerminalRun(const std::vector<std::string>& args, TerminalUse use,
                         const CliOptions& options) {
    int slave = -1;
    if (::openpty(&m_master, &slave, nullptr, nullptr, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    // The program must not hold the test's end open.
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    m_child = std::make_unique<CliChild>(args, options,
                                         TerminalSide{slave, use == TerminalUse::Controlling});
    ::close(slave);
}

TerminalRun::~TerminalRun() {
    m_child.reset();
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
    ::kill(m_child->Pid(), signal);
}

CliResult TerminalRun::Wait() {
    return m_child->Wait();
}

void TerminalRun::Forget() {
    m_all += m_seen;
    m_seen.clear();
}

} // namespace lumora::test
