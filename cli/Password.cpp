// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/Password.h"

#include "cli/CliError.h"
#include "cli/FileErrors.h"
#include "cli/Interrupt.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <termios.h>
#include <unistd.h>

namespace lumora::cli {
namespace {

// The terminal of the session, with echo switched off while a password is typed.
class Terminal {
public:
    Terminal() : m_fd(::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC)) {}
    ~Terminal() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    bool IsOpen() const { return m_fd >= 0; }

    std::string ReadHidden(const std::string& prompt) {
        // Echo goes off before the prompt appears, so nothing typed after it is lost.
        termios saved{};
        bool echoOff = ::tcgetattr(m_fd, &saved) == 0;
        if (echoOff) {
            termios quiet = saved;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            quiet.c_lflag |= ECHONL;
            ::tcsetattr(m_fd, TCSAFLUSH, &quiet);
        }
        Write(prompt);
        std::string line;
        bool complete = ReadLine(line);
        if (echoOff)
            ::tcsetattr(m_fd, TCSANOW, &saved);
        StopIfInterrupted();
        if (!complete && line.empty())
            throw Failure("no password was typed");
        return line;
    }

private:
    bool ReadLine(std::string& line) {
        char c = 0;
        for (;;) {
            ssize_t n = ::read(m_fd, &c, 1);
            if (n < 0 && errno == EINTR && PendingSignal() == 0)
                continue;
            if (n <= 0)
                return false;
            if (c == '\n')
                return true;
            line.push_back(c);
        }
    }

    void Write(const std::string& text) {
        ssize_t ignored = ::write(m_fd, text.data(), text.size());
        (void)ignored;
    }

    int m_fd;
};

void StripLineEnd(std::string& text) {
    if (!text.empty() && text.back() == '\r')
        text.pop_back();
}

// The first line, without its line break.
std::string ReadPasswordFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw Failure(CannotRead(path));
    std::string line;
    std::getline(in, line);
    if (in.bad())
        throw Failure(CannotRead(path));
    StripLineEnd(line);
    return line;
}

} // namespace

std::string ObtainPassword(const std::string& command,
                           const std::optional<std::string>& passwordFile, PasswordUse use) {
    std::string password;
    if (passwordFile) {
        password = ReadPasswordFile(*passwordFile);
    } else if (const char* variable = std::getenv("LUMORA_PASSWORD")) {
        password = variable;
    } else {
        Terminal terminal;
        if (!terminal.IsOpen())
            throw UsageError(command, "no password given: use --password-file or "
                                      "LUMORA_PASSWORD, or run it from a terminal");
        password = terminal.ReadHidden("Password: ");
        if (use == PasswordUse::Create && terminal.ReadHidden("Repeat password: ") != password)
            throw Failure("the passwords do not match");
    }
    if (use == PasswordUse::Create && password.empty())
        throw Failure("the password must not be empty");
    return password;
}

} // namespace lumora::cli
