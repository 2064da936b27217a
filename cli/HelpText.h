// SPDX-License-Identifier: GPL-2.0-or-later
// The help texts, made from the command table.
#pragma once

#include <string>

namespace lumora::cli {

struct CommandSpec;

// The overview printed by "lumora-cli --help".
std::string ProgramHelp();

// The --help text of a command.
std::string CommandHelp(const CommandSpec& command);

} // namespace lumora::cli
