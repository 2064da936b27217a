// SPDX-License-Identifier: GPL-2.0-or-later
// Every command and option of lumora-cli, described once. The parser, the help text and
// the shell completions are made from these tables; a test checks that the manual page
// and the HTML manual name exactly these commands and options.
//
// To add an option, add one OptionSpec to the table in CommandTable.cpp with the names
// of the commands that take it, read it in those commands with Arguments::Value, Has or
// Number, and describe it in docs/lumora-cli.1 and docs/manual/cli.html.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lumora::cli {

class Arguments;

// What a shell completes for an operand or an option's value.
enum class Completion {
    None,    // nothing to offer (free text, a number, a hidden file's name)
    File,    // a file name
    Folder,  // a folder name
    Program, // a program on the PATH
    Shell,   // bash, zsh or fish
    Command, // a lumora-cli command
};

struct OptionSpec {
    const char* longName;  // without the leading "--"
    char shortName;        // 0 when there is no short form
    const char* value;     // the value's name in the help ("FILE"); nullptr for a flag
    bool repeatable;       // may be given more than once
    Completion completion; // of the value
    // The commands that take the option, separated by spaces; "lumora-cli" stands for the
    // program itself, before any command. One option name may have one entry per group of
    // commands, when its help differs between them.
    const char* commands;
    const char* help;
};

struct CommandSpec {
    const char* name;
    const char* operands; // as in the usage line
    Completion operandCompletion;
    const char* summary;     // one line in the overview
    const char* description; // paragraphs for --help, separated by blank lines
    int (*run)(const Arguments&);
};

const std::vector<CommandSpec>& CommandSpecs();
const std::vector<OptionSpec>& OptionSpecs();

// The command of that name, or null.
const CommandSpec* FindCommand(std::string_view name);

// Whether `command` ("lumora-cli" for the program itself) takes the option.
bool TakesOption(const OptionSpec& option, std::string_view command);

// The options `command` takes, in table order.
std::vector<const OptionSpec*> OptionsOf(std::string_view command);

} // namespace lumora::cli
