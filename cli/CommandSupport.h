// SPDX-License-Identifier: GPL-2.0-or-later
// What every subcommand does first: parse its options, answer --help.
#pragma once

#include "cli/Arguments.h"

#include <optional>
#include <string>
#include <vector>

namespace lumora::cli {

// The options of `command` plus -h/--help. Returns none when --help was given; the help
// text has then been printed.
std::optional<Arguments> ParseCommand(const std::string& command, std::vector<OptionRule> rules,
                                      const std::vector<std::string>& args);

// The option every command that opens or writes a carrier takes.
inline OptionRule PasswordFileOption() {
    return {"password-file", 0, true};
}

} // namespace lumora::cli
