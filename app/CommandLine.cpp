// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/CommandLine.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

namespace lumora {
namespace {

bool IsHelp(const char* argument) {
    return std::strcmp(argument, "-h") == 0 || std::strcmp(argument, "--help") == 0;
}

bool IsVersion(const char* argument) {
    return std::strcmp(argument, "-V") == 0 || std::strcmp(argument, "--version") == 0;
}

// The options QApplication and its X11 platform take out of the command line, each with
// one dash or two. Those of the first list take the next argument as their value.
constexpr std::array kQtOptionsWithValue{"platform",
                                         "platformpluginpath",
                                         "platformtheme",
                                         "plugin",
                                         "qwindowgeometry",
                                         "geometry",
                                         "qwindowtitle",
                                         "title",
                                         "qwindowicon",
                                         "icon",
                                         "session",
                                         "style",
                                         "stylesheet",
                                         "display",
                                         "name",
                                         "visual"};
constexpr std::array kQtFlags{"reverse", "testability", "widgetcount", "qdevel",
                              "qdebug",  "nograb",      "dograb",      "sync"};
// Those that take their value after "=" in the same argument.
constexpr std::array kQtOptionsWithEquals{"style=", "stylesheet=", "qmljsdebugger="};

enum class QtOption { None, Flag, WithValue };

QtOption QtOptionOf(std::string_view argument) {
    if (argument.starts_with("--"))
        argument.remove_prefix(2);
    else if (argument.starts_with("-"))
        argument.remove_prefix(1);
    else
        return QtOption::None;
    const auto is = [argument](std::string_view name) { return argument == name; };
    if (std::any_of(kQtOptionsWithValue.begin(), kQtOptionsWithValue.end(), is))
        return QtOption::WithValue;
    const auto starts = [argument](std::string_view name) { return argument.starts_with(name); };
    if (std::any_of(kQtFlags.begin(), kQtFlags.end(), is) ||
        std::any_of(kQtOptionsWithEquals.begin(), kQtOptionsWithEquals.end(), starts))
        return QtOption::Flag;
    return QtOption::None;
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

CommandLine ParseCommandLine(int argc, const char* const* argv) {
    CommandLine result;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        const QString text = QString::fromLocal8Bit(argv[i]);
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && argument.starts_with('-') && argument.size() > 1) {
            const QtOption qt = QtOptionOf(argument);
            if (qt == QtOption::None)
                return {QString(), "unknown option '" + text + "'"};
            if (qt == QtOption::WithValue)
                ++i;
        } else if (!result.picture.isEmpty()) {
            return {QString(), QStringLiteral("only one picture can be opened")};
        } else {
            result.picture = text;
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
