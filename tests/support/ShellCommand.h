// SPDX-License-Identifier: GPL-2.0-or-later
// Commands run through the shell, for tests that check against other tools (unzip,
// Python's zipfile, sha256sum, openssl, the shells' completion).
#pragma once

#include <string>

namespace lumora::test {

// Runs `command` through the shell: its exit status (-1 when it did not exit) and, when
// asked, what it printed on standard output.
int RunCommand(const std::string& command, std::string* output = nullptr);

// What `command` prints on standard output, whatever its exit status.
std::string CommandOutput(const std::string& command);

// `text` as one word for the shell.
std::string ShellQuote(const std::string& text);

// Whether the shell finds the program `name`.
bool HaveTool(const std::string& name);

} // namespace lumora::test
