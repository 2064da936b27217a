// SPDX-License-Identifier: GPL-2.0-or-later
// How a command ends when it cannot do its job: an exit status and the one line that
// main() prints on stderr after "lumora-cli: ".
#pragma once

#include <stdexcept>
#include <string>

namespace lumora::cli {

enum class Exit {
    Ok = 0,
    Failure = 1,
    Usage = 2,
    WrongPassword = 3,
    NoData = 4,
    Busy = 5,       // another Lumora process is changing the carrier
    NeedsForce = 6, // hidden content would be lost, or the carrier changed meanwhile
};

class CliError : public std::runtime_error {
public:
    CliError(Exit status, const std::string& text) : std::runtime_error(text), m_status(status) {}
    Exit Status() const { return m_status; }

private:
    Exit m_status;
};

// A mistake in the command line; main() points at the command's --help.
class UsageError : public CliError {
public:
    UsageError(const std::string& command, const std::string& text)
        : CliError(Exit::Usage, text), m_command(command) {}
    const std::string& Command() const { return m_command; }

private:
    std::string m_command;
};

inline CliError Failure(const std::string& text) {
    return CliError(Exit::Failure, text);
}

} // namespace lumora::cli
