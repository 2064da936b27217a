// SPDX-License-Identifier: GPL-2.0-or-later
// How a command ends: a result code, its exit status and its stable JSON name, and the
// error that carries a code, the reason where the failure has one in engine/Reason.h, and
// the one line that main() prints after "lumora-cli: ".
#pragma once

#include "engine/Reason.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace lumora::cli {

enum class Code {
    Ok,
    Failure,       // a file could not be read or written, a check failed
    Damaged,       // the hidden data is damaged
    Usage,         // a mistake in the command line
    WrongPassword, // the password does not open the carrier
    NoData,        // the file holds no hidden data, or no sealed data the password opens
    Busy,          // another Lumora process is changing the carrier
    NeedsForce,    // refused without --force: content would be lost, the carrier changed
                   // meanwhile, the picture would not show any more, an output exists
    PartlyDamaged, // done for everything intact; what is damaged was left out
    Cancelled,     // stopped by a signal; the program then ends by that signal
};

struct CodeInfo {
    Code code;
    int exitStatus;      // -1: the program ends by the signal
    const char* name;    // the "code" of JSON output
    const char* meaning; // for the help text
};

// Every code, in the order of their exit statuses.
const std::vector<CodeInfo>& Codes();
const CodeInfo& InfoOf(Code code);

class CliError : public std::runtime_error {
public:
    CliError(Code code, const std::string& text, Reason reason = Reason::None)
        : std::runtime_error(text), m_code(code), m_reason(reason) {}
    Code GetCode() const { return m_code; }
    // None for a failure of lumora-cli's own that the list does not name (a usage error).
    Reason GetReason() const { return m_reason; }

private:
    Code m_code;
    Reason m_reason;
};

// A mistake in the command line; main() points at the command's --help.
class UsageError : public CliError {
public:
    UsageError(const std::string& command, const std::string& text)
        : CliError(Code::Usage, text), m_command(command) {}
    const std::string& Command() const { return m_command; }

private:
    std::string m_command;
};

inline CliError Failure(const std::string& text, Reason reason = Reason::None) {
    return CliError(Code::Failure, text, reason);
}

} // namespace lumora::cli
