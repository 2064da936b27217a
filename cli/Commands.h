// SPDX-License-Identifier: GPL-2.0-or-later
// The commands. Each gets its parsed arguments, prints its results on stdout, and
// returns the exit status or throws a CliError.
#pragma once

#include <string>

namespace lumora::cli {

class Arguments;

[[nodiscard]] int RunInfo(const Arguments& args);
// info --capacity (cli/CapacityInfo.cpp).
[[nodiscard]] int RunInfoCapacity(const Arguments& args);
[[nodiscard]] int RunList(const Arguments& args);
[[nodiscard]] int RunReveal(const Arguments& args);
[[nodiscard]] int RunExtract(const Arguments& args);
[[nodiscard]] int RunHide(const Arguments& args);
[[nodiscard]] int RunEdit(const Arguments& args);
[[nodiscard]] int RunPasswd(const Arguments& args);
[[nodiscard]] int RunVerify(const Arguments& args);
[[nodiscard]] int RunStrip(const Arguments& args);
[[nodiscard]] int RunScan(const Arguments& args);
[[nodiscard]] int RunCompletion(const Arguments& args);
[[nodiscard]] int RunHelp(const Arguments& args);
[[nodiscard]] int RunVersion(const Arguments& args);

// "unknown command 'x'", with the nearest command's name when one is near.
std::string UnknownCommand(const std::string& name);

} // namespace lumora::cli
