// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-cli help, version and completion: about the program itself.
#include "cli/Arguments.h"
#include "cli/CliError.h"
#include "cli/CommandTable.h"
#include "cli/Commands.h"
#include "cli/Completion.h"
#include "cli/HelpText.h"

#include <cstdio>

namespace lumora::cli {
namespace {

std::vector<std::string> CommandWords() {
    std::vector<std::string> names;
    for (const CommandSpec& command : CommandSpecs())
        names.push_back(command.name);
    return names;
}

} // namespace

std::string UnknownCommand(const std::string& name) {
    const std::string nearest = NearestWord(name, CommandWords());
    return "unknown command '" + name + "'" +
           (nearest.empty() ? "" : " (did you mean '" + nearest + "'?)");
}

int RunHelp(const Arguments& args) {
    if (args.Operands().size() > 1)
        throw UsageError("help", "help takes one COMMAND at most");
    if (args.Operands().empty()) {
        std::fputs(ProgramHelp().c_str(), stdout);
        return 0;
    }
    const CommandSpec* command = FindCommand(args.Operands()[0]);
    if (command == nullptr)
        throw UsageError("", UnknownCommand(args.Operands()[0]));
    std::fputs(CommandHelp(*command).c_str(), stdout);
    return 0;
}

int RunVersion(const Arguments& args) {
    if (!args.Operands().empty())
        throw UsageError("version", "version takes no operands");
    std::printf("lumora-cli %s\n", LUMORA_VERSION);
    return 0;
}

int RunCompletion(const Arguments& args) {
    if (args.Operands().size() != 1)
        throw UsageError("completion", "completion takes one SHELL: bash, zsh or fish");
    const auto script = CompletionScript(args.Operands()[0]);
    if (!script)
        throw UsageError("completion",
                         "no completion for '" + args.Operands()[0] + "': give bash, zsh or fish");
    std::fputs(script->c_str(), stdout);
    return 0;
}

} // namespace lumora::cli
