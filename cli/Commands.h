// SPDX-License-Identifier: GPL-2.0-or-later
// The commands. Each gets its parsed arguments, prints its results on stdout, and
// returns the exit status or throws a CliError.
#pragma once

#include <string>

namespace lumora::cli {

class Arguments;

int RunInfo(const Arguments& args);
int RunList(const Arguments& args);
int RunReveal(const Arguments& args);
int RunExtract(const Arguments& args);
int RunHide(const Arguments& args);
int RunEdit(const Arguments& args);
int RunPasswd(const Arguments& args);
int RunVerify(const Arguments& args);
int RunStrip(const Arguments& args);
int RunScan(const Arguments& args);
int RunCompletion(const Arguments& args);
int RunHelp(const Arguments& args);
int RunVersion(const Arguments& args);

// "unknown command 'x'", with the nearest command's name when one is near.
std::string UnknownCommand(const std::string& name);

} // namespace lumora::cli
