// SPDX-License-Identifier: GPL-2.0-or-later
// Shell completion scripts for bash, zsh and fish, made from the command table. The build
// writes them with "lumora-cli completion SHELL" and installs them where each shell looks.
#pragma once

#include <optional>
#include <string>

namespace lumora::cli {

// The script for "bash", "zsh" or "fish"; none for another shell.
std::optional<std::string> CompletionScript(const std::string& shell);

} // namespace lumora::cli
