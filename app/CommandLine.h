// SPDX-License-Identifier: GPL-2.0-or-later
// The desktop program's command line: "lumora [PICTURE]", "--help" and "--version". The
// two answers are found before the application object exists, so they need no window
// system (over SSH, in scripts); everything else is read from what Qt leaves over once it
// has taken its own options (-platform, -style, ...).
#pragma once

#include <QString>
#include <QStringList>
#include <string>

namespace lumora {

enum class EarlyAnswer { None, Help, Version };

// Looks for "-h", "--help", "-V" and "--version" before a "--"; any other argument is
// left for later, as it may belong to Qt.
EarlyAnswer FindEarlyAnswer(int argc, const char* const* argv);

struct CommandLine {
    QString picture; // the picture to open, empty for none
    QString error;   // what was wrong; empty when the command line is fine
};

// The arguments after the program's name, without Qt's options and without those that
// FindEarlyAnswer answers: at most one picture, "--" before a name that starts with "-".
CommandLine ParseCommandLine(const QStringList& arguments);

std::string HelpText();
std::string VersionText();

} // namespace lumora
