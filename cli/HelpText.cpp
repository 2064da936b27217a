// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/HelpText.h"

#include "cli/CliError.h"
#include "cli/CommandTable.h"

#include <algorithm>

namespace lumora::cli {
namespace {

constexpr size_t kWidth = 79;
constexpr size_t kOptionColumn = 30;

// `text` broken into lines of at most kWidth columns; the first line continues a line of
// `first` columns, the others start with `indent` blanks.
std::string Wrap(const std::string& text, size_t column, size_t indent) {
    std::string out;
    bool lineEmpty = true;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(' ', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string word = text.substr(start, end - start);
        start = end + 1;
        if (!lineEmpty && column + 1 + word.size() > kWidth) {
            out += "\n" + std::string(indent, ' ');
            column = indent;
            lineEmpty = true;
        }
        if (!lineEmpty) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        lineEmpty = false;
    }
    return out;
}

std::string Paragraphs(const std::string& text) {
    std::string out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\n\n", start);
        if (end == std::string::npos)
            end = text.size();
        out += Wrap(text.substr(start, end - start), 0, 0) + "\n";
        start = end + 2;
        if (start < text.size())
            out += "\n";
    }
    return out;
}

std::string OptionLine(const OptionSpec& option) {
    std::string names = option.shortName != 0 ? std::string("-") + option.shortName + ", " : "    ";
    names += "--" + std::string(option.longName);
    if (option.value != nullptr)
        names += " " + std::string(option.value);
    std::string line = "  " + names;
    if (line.size() + 2 > kOptionColumn)
        line += "\n" + std::string(kOptionColumn, ' ');
    else
        line += std::string(kOptionColumn - line.size(), ' ');
    return line + Wrap(option.help, kOptionColumn, kOptionColumn) + "\n";
}

bool TakesPassword(const CommandSpec& command) {
    for (const OptionSpec* option : OptionsOf(command.name))
        if (std::string(option->longName) == "password-file")
            return true;
    return false;
}

} // namespace

std::string ProgramHelp() {
    std::string text = "usage: lumora-cli COMMAND [OPTIONS] [ARGS...]\n"
                       "       lumora-cli help [COMMAND] | --help | --version\n"
                       "\n" +
                       Paragraphs("Hide a message and files behind the bytes of an image, "
                                  "encrypted under a password, and read them back. Carriers "
                                  "are the same as those of Lumora.") +
                       "\nCommands:\n";
    for (const CommandSpec& command : CommandSpecs()) {
        std::string line = "  " + std::string(command.name);
        line += std::string(14 - line.size(), ' ');
        text += line + command.summary + "\n";
    }
    text += "\nRun \"lumora-cli help COMMAND\" for the options of a command.\n\nExit status "
            "and the \"code\" of JSON output:\n";
    for (const CodeInfo& code : Codes()) {
        std::string status = code.exitStatus < 0 ? "-" : std::to_string(code.exitStatus);
        std::string line = "  " + status + "  " + code.name;
        line += std::string(std::max<size_t>(line.size() + 1, 22) - line.size(), ' ');
        text += line + Wrap(code.meaning, line.size(), 22) + "\n";
    }
    text += "\n" + Paragraphs("JSON errors also give a \"reason\", a stable name for what "
                              "went wrong, such as wrong-password or disk-full (see \"man "
                              "lumora-cli\").");
    return text;
}

std::string CommandHelp(const CommandSpec& command) {
    std::string usage = "usage: lumora-cli " + std::string(command.name) + " [OPTIONS]";
    if (*command.operands != '\0')
        usage += " " + std::string(command.operands);
    std::string text = usage + "\n\n" + Paragraphs(command.description) + "\nOptions:\n";
    for (const OptionSpec* option : OptionsOf(command.name))
        text += OptionLine(*option);
    if (TakesPassword(command))
        text += "\n" + Paragraphs("The password is the first line of --password-file, "
                                  "--password-fd or --password-command, else the value of "
                                  "LUMORA_PASSWORD, else it is asked for on the terminal "
                                  "(three tries). It is never an argument.");
    return text;
}

} // namespace lumora::cli
