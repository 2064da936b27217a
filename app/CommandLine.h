// SPDX-License-Identifier: GPL-2.0-or-later
// The desktop program's command line: "lumora [PICTURE]", "--help" and "--version". It is
// read whole before the application object exists, so that the answers and the errors
// need no window system (over SSH, in scripts); Qt's own options (-platform, -style, ...)
// are recognised and left to Qt.
#pragma once

#include <QString>
#include <string>

namespace lumora {

enum class EarlyAnswer { None, Help, Version };

// Looks for "-h", "--help", "-V" and "--version" before a "--".
EarlyAnswer FindEarlyAnswer(int argc, const char* const* argv);

struct CommandLine {
    QString picture; // the picture to open, empty for none
    QString error;   // what was wrong; empty when the command line is fine
};

// The arguments after the program's name, without those that FindEarlyAnswer answers:
// Qt's options with their values, at most one picture, "--" before a name that starts
// with "-". Any other option is an error.
CommandLine ParseCommandLine(int argc, const char* const* argv);

std::string HelpText();
std::string VersionText();

} // namespace lumora
