// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/CommandLine.h"

#include <cstring>

namespace lumora {
namespace {

bool IsHelp(const char* argument) {
    return std::strcmp(argument, "-h") == 0 || std::strcmp(argument, "--help") == 0;
}

bool IsVersion(const char* argument) {
    return std::strcmp(argument, "-V") == 0 || std::strcmp(argument, "--version") == 0;
}

} // namespace

EarlyAnswer FindEarlyAnswer(int argc, const char* const* argv) {
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (IsHelp(argv[i]))
            return EarlyAnswer::Help;
        if (IsVersion(argv[i]))
            return EarlyAnswer::Version;
    }
    return EarlyAnswer::None;
}

CommandLine ParseCommandLine(const QStringList& arguments) {
    CommandLine result;
    bool optionsEnded = false;
    for (const QString& argument : arguments) {
        if (!optionsEnded && argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && argument.startsWith(u'-') && argument.size() > 1) {
            return {QString(), "unknown option '" + argument + "'"};
        } else if (!result.picture.isEmpty()) {
            return {QString(), QStringLiteral("only one picture can be opened")};
        } else {
            result.picture = argument;
        }
    }
    return result;
}

std::string HelpText() {
    return "Usage: lumora [PICTURE]\n"
           "Hide a message and files behind a picture, protected by a password, and read\n"
           "them back.\n"
           "\n"
           "  PICTURE        a picture that holds hidden data asks for its password and\n"
           "                 shows what it holds; any other picture starts hiding data in it\n"
           "  -h, --help     show this help and exit\n"
           "  -V, --version  show the version and exit\n"
           "\n"
           "Qt's options, such as -platform or -style, are accepted as well.\n"
           "lumora-cli does the same from a terminal: see 'man lumora-cli'.\n";
}

std::string VersionText() {
    return std::string("lumora ") + LUMORA_VERSION + "\n";
}

} // namespace lumora
