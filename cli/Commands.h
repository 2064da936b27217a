// SPDX-License-Identifier: GPL-2.0-or-later
// The subcommands. Each gets the arguments after its name, prints its results on stdout,
// and returns the exit status or throws a CliError.
#pragma once

#include <string>
#include <vector>

namespace lumora::cli {

using Args = std::vector<std::string>;

int RunInfo(const Args& args);
int RunList(const Args& args);
int RunReveal(const Args& args);
int RunExtract(const Args& args);
int RunHide(const Args& args);
int RunEdit(const Args& args);
int RunVerify(const Args& args);
int RunStrip(const Args& args);

} // namespace lumora::cli
