// SPDX-License-Identifier: GPL-2.0-or-later
// Where a password comes from: --password-file FILE ("-" for stdin), --password-fd N or
// --password-command COMMAND (the first line of each), else the variable LUMORA_PASSWORD,
// else a prompt on the terminal without echo. Never the command line. passwd takes its
// new password from the --new-password-* options or a prompt, never from the variable.
#pragma once

#include "crypt/SecretBytes.h"
#include "engine/PasswordTries.h"

#include <memory>
#include <optional>
#include <string>

namespace lumora::cli {

class Arguments;

// Takes LUMORA_PASSWORD out of the environment, so no program started later sees it,
// and keeps its value for PasswordSource. Called once at start.
void TakePasswordFromEnvironment();

enum class PasswordUse {
    Open,   // the password of an existing carrier
    Create, // a new password: must not be empty; a prompt asks twice
};

class PasswordSource {
public:
    // The source the options name (`newPassword`: the --new-password-* ones); throws a
    // usage error when two are named, or none and there is no terminal to ask on.
    PasswordSource(const Arguments& args, PasswordUse use, bool newPassword = false);
    ~PasswordSource();
    PasswordSource(const PasswordSource&) = delete;
    PasswordSource& operator=(const PasswordSource&) = delete;

    // The password. A prompt asks each time; every other source is read once and gives
    // the same password again.
    Password Get();
    // The password Get gave last (empty before the first), for what a command says of it
    // once it has opened a carrier.
    Password Last() const { return m_last ? m_last->Copy() : Password(); }
    bool IsPrompt() const { return m_terminal >= 0; }
    // Whether a source other than the prompt gives the password: an option, or for the
    // current password LUMORA_PASSWORD.
    bool IsGiven() const { return m_file || m_fd || m_program || m_fromEnvironment; }
    // How often a wrong password may be tried: as often as a prompt asks, else once.
    int Tries() const { return IsPrompt() ? kPromptTries : 1; }
    // Asks at the prompt for `password` once more and compares: true when the same was
    // typed, false when the password came from another source (nothing is asked); throws
    // when the two differ.
    bool Confirm(const Password& password);
    // Tells the one at the prompt that the password was wrong, or for a file without
    // classic data, that it opened nothing.
    void SayWrong(bool sealed) const;
    // Where it comes from, for -v.
    const std::string& Describe() const { return m_description; }

private:
    Password Read();

    std::string m_command;
    PasswordUse m_use;
    bool m_new;
    std::optional<std::string> m_file;
    std::optional<int> m_fd;
    std::optional<std::string> m_program;
    std::optional<Password> m_known;
    std::optional<Password> m_last;
    bool m_fromEnvironment = false;
    std::string m_description;
    int m_terminal = -1;
};

} // namespace lumora::cli
