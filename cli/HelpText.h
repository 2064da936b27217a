// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>

namespace lumora::cli {

// The overview printed by "lumora-cli --help".
const char* ProgramHelp();

// The --help text of a subcommand; empty when there is no such command.
std::string CommandHelp(const std::string& command);

} // namespace lumora::cli
