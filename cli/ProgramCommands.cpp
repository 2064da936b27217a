// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-cli help, version and completion: about the program itself.
#include "cli/Arguments.h"
#include "cli/CliError.h"
#include "cli/CommandTable.h"
#include "cli/Commands.h"
#include "cli/Completion.h"
#include "cli/HelpText.h"
#include "cli/Json.h"
#include "cli/Report.h"

#include <cstdio>

namespace lumora::cli {
namespace {

std::vector<std::string> CommandWords() {
    std::vector<std::string> names;
    for (const CommandSpec& command : CommandSpecs())
        names.push_back(command.name);
    return names;
}

// Prints text as it is, or with --json as the member `key` of an object beside `extra`.
void PrintText(const std::string& text, const char* key, JsonObject extra = {}) {
    if (JsonOutput())
        PrintJson(extra.String(key, text).Text());
    else
        std::fputs(text.c_str(), stdout);
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
        PrintText(ProgramHelp(), "help");
        return 0;
    }
    const CommandSpec* command = FindCommand(args.Operands()[0]);
    if (command == nullptr)
        throw UsageError("", UnknownCommand(args.Operands()[0]));
    PrintText(CommandHelp(*command), "help", JsonObject().String("command", command->name));
    return 0;
}

int RunVersion(const Arguments& args) {
    if (!args.Operands().empty())
        throw UsageError("version", "version takes no operands");
    if (JsonOutput())
        PrintJson(JsonObject().String("version", LUMORA_VERSION).Text());
    else
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
    PrintText(*script, "script", JsonObject().String("shell", args.Operands()[0]));
    return 0;
}

} // namespace lumora::cli
