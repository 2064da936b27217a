// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/Password.h"

#include "cli/Arguments.h"
#include "cli/ChildProgram.h"
#include "cli/CliError.h"
#include "cli/FileErrors.h"
#include "cli/Interrupt.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace lumora::cli {
namespace {

// A password line longer than this is not a password.
constexpr size_t kMaxLine = 64 * 1024;

std::optional<Password>& EnvironmentPassword() {
    static std::optional<Password> password;
    return password;
}

void StripLineEnd(std::string& text) {
    if (!text.empty() && text.back() == '\r')
        text.pop_back();
}

// Reads up to the first line break (not past it, so the rest stays for others) or the end.
// False when nothing at all could be read.
[[nodiscard]] bool ReadLine(int fd, std::string& line, bool& complete) {
    complete = false;
    char c = 0;
    bool any = false;
    while (line.size() < kMaxLine) {
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR && PendingSignal() == 0)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        any = true;
        if (c == '\n') {
            complete = true;
            return true;
        }
        line.push_back(c);
    }
    return any;
}

void Write(int fd, const std::string& text) {
    ssize_t ignored = ::write(fd, text.data(), text.size());
    (void)ignored;
}

// A line typed at the terminal with echo switched off.
std::string ReadHidden(int terminal, const std::string& prompt) {
    // Echo goes off before the prompt appears, so nothing typed after it is lost.
    termios saved{};
    const bool echoOff = ::tcgetattr(terminal, &saved) == 0;
    if (echoOff) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        ::tcsetattr(terminal, TCSAFLUSH, &quiet);
    }
    Write(terminal, prompt);
    std::string line;
    bool complete = false;
    const bool read = ReadLine(terminal, line, complete);
    if (echoOff)
        ::tcsetattr(terminal, TCSANOW, &saved);
    StopIfInterrupted();
    // A read that failed halfway must not pass off the first letters as the password.
    if (!read)
        throw CannotRead("the terminal");
    if (!complete && line.empty())
        throw Failure("no password was typed", Reason::NoPassword);
    return line;
}

std::string FirstLineOf(int fd, const std::string& name) {
    std::string line;
    bool complete = false;
    if (!ReadLine(fd, line, complete)) {
        StopIfInterrupted();
        throw CannotRead(name);
    }
    StripLineEnd(line);
    return line;
}

std::string RunPasswordCommand(const std::string& command, const std::string& option) {
    const auto words = SplitWords(command);
    if (!words || words->empty())
        throw Failure("--" + option + " needs a command (with its quotes closed)");
    ChildRun run;
    run.argv = *words;
    const int terminal = OpenTerminal();
    const int nothing = terminal < 0 ? ::open("/dev/null", O_RDONLY | O_CLOEXEC) : -1;
    run.in = terminal >= 0 ? terminal : nothing;
    run.err = terminal;
    std::string output;
    run.output = &output;
    run.outputLimit = kMaxLine;
    run.ownGroup = true;
    const int status = RunChild(run);
    for (int fd : {terminal, nothing})
        if (fd >= 0)
            ::close(fd);
    StopIfInterrupted();
    if (status != 0) {
        WipeString(output);
        throw Failure("the password command " + run.argv[0] + " failed (" +
                      DescribeChildStatus(status) + ")");
    }
    std::string line = output.substr(0, output.find('\n'));
    WipeString(output);
    StripLineEnd(line);
    return line;
}

} // namespace

void TakePasswordFromEnvironment() {
    char* value = std::getenv("LUMORA_PASSWORD");
    if (value == nullptr)
        return;
    EnvironmentPassword() = Password(std::string_view(value));
    // Also out of the process's memory, where /proc/PID/environ would show it.
    std::memset(value, 0, std::strlen(value));
    ::unsetenv("LUMORA_PASSWORD");
}

PasswordSource::PasswordSource(const Arguments& args, PasswordUse use, bool newPassword)
    : m_command(args.Command()), m_use(use), m_new(newPassword) {
    const std::string prefix = newPassword ? "new-password-" : "password-";
    m_file = args.Value(prefix + "file");
    m_program = args.Value(prefix + "command");
    if (auto fd = args.Number(prefix + "fd", 0, 1 << 20))
        m_fd = static_cast<int>(*fd);
    const int named = (m_file ? 1 : 0) + (m_fd ? 1 : 0) + (m_program ? 1 : 0);
    if (named > 1)
        throw UsageError(m_command, "give only one of --" + prefix + "file, --" + prefix +
                                        "fd and --" + prefix + "command");
    if (m_file)
        m_description = "--" + prefix + "file";
    else if (m_fd)
        m_description = "--" + prefix + "fd";
    else if (m_program)
        m_description = "--" + prefix + "command";
    else if (!newPassword && EnvironmentPassword()) {
        m_description = "LUMORA_PASSWORD";
        m_fromEnvironment = true;
    } else
        m_description = "the terminal";
}

PasswordSource::~PasswordSource() {
    if (m_terminal >= 0)
        ::close(m_terminal);
}

Password PasswordSource::Get() {
    if (m_known)
        return m_known->Copy();
    Password password = Read();
    if (m_use == PasswordUse::Create && password.Empty())
        throw Failure("the password must not be empty", Reason::NoPassword);
    if (!IsPrompt())
        m_known = password.Copy();
    m_last = password.Copy();
    return password;
}

Password PasswordSource::Read() {
    std::string line;
    if (m_file && *m_file == "-") {
        line = FirstLineOf(STDIN_FILENO, "standard input");
    } else if (m_file) {
        const int fd = ::open(m_file->c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            throw CannotRead(*m_file);
        try {
            line = FirstLineOf(fd, *m_file);
        } catch (...) {
            ::close(fd);
            throw;
        }
        ::close(fd);
    } else if (m_fd) {
        line = FirstLineOf(*m_fd, "file descriptor " + std::to_string(*m_fd));
    } else if (m_program) {
        line = RunPasswordCommand(*m_program, m_new ? "new-password-command" : "password-command");
    } else if (m_fromEnvironment) {
        return EnvironmentPassword()->Copy();
    } else {
        if (m_terminal < 0)
            m_terminal = OpenTerminal();
        if (m_terminal < 0) {
            const std::string prefix = m_new ? "--new-password-" : "--password-";
            throw UsageError(m_command, "no " + std::string(m_new ? "new " : "") +
                                            "password given: use " + prefix + "file, " + prefix +
                                            "fd" + (m_new ? " or " : ", ") + prefix + "command" +
                                            (m_new ? "" : " or LUMORA_PASSWORD") +
                                            ", or run it from a terminal");
        }
        const std::string what = m_new ? "New password" : "Password";
        line = ReadHidden(m_terminal, what + ": ");
        if (m_use == PasswordUse::Create && !line.empty()) {
            std::string again =
                ReadHidden(m_terminal, m_new ? "Repeat new password: " : "Repeat password: ");
            const bool same = Password(again) == Password(line);
            WipeString(again);
            if (!same) {
                WipeString(line);
                throw Failure("the passwords do not match");
            }
        }
    }
    return Password::Take(line);
}

bool PasswordSource::Confirm(const Password& password) {
    if (!IsPrompt())
        return false;
    std::string again = ReadHidden(m_terminal, "Repeat password: ");
    const bool same = Password(again) == password;
    WipeString(again);
    if (!same)
        throw CliError(Code::NeedsForce, "the passwords do not match", Reason::PasswordUnproved);
    return true;
}

void PasswordSource::SayWrong(bool sealed) const {
    if (m_terminal >= 0)
        Write(m_terminal, sealed ? "No hidden data found, or the password does not open it; try "
                                   "again.\n"
                                 : "Wrong password, try again.\n");
}

} // namespace lumora::cli
