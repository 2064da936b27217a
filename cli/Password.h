// SPDX-License-Identifier: GPL-2.0-or-later
// Where the password comes from: the first line of --password-file, else the variable
// LUMORA_PASSWORD, else a prompt on the terminal without echo. Never the command line.
#pragma once

#include <optional>
#include <string>

namespace lumora::cli {

enum class PasswordUse {
    Open,   // opening an existing carrier: asked once
    Create, // a new carrier: asked twice, must not be empty
};

// `command` names the subcommand for usage errors.
std::string ObtainPassword(const std::string& command,
                           const std::optional<std::string>& passwordFile, PasswordUse use);

} // namespace lumora::cli
