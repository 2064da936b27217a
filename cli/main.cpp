// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-cli: hide a message and files behind an image, and read them back, without a
// window. Results go to stdout, everything else to stderr.
#include "cli/Arguments.h"
#include "cli/CliError.h"
#include "cli/CommandTable.h"
#include "cli/Commands.h"
#include "cli/HelpText.h"
#include "cli/Interrupt.h"
#include "cli/Json.h"
#include "cli/Password.h"
#include "cli/PerCarrier.h"
#include "cli/Report.h"
#include "cli/TerminalText.h"
#include "platform/ProcessHardening.h"
#include "platform/WorkFolder.h"

#include <csignal>
#include <cstdio>
#include <exception>

using lumora::Reason;
using namespace lumora::cli;

namespace {

using Words = std::vector<std::string>;

// --json anywhere before "--": errors are then told as JSON too, also those of parsing.
bool AsksForJson(const Words& words) {
    for (const std::string& word : words) {
        if (word == "--")
            return false;
        if (word == "--json")
            return true;
    }
    return false;
}

int RunProgramOptions(const Words& words) {
    const Arguments program("", OptionsOf("lumora-cli"), words);
    if (!program.Operands().empty())
        throw UsageError("", UnknownCommand(program.Operands()[0]));
    return RunHelp(Arguments("help", {}, {}));
}

// The file a command's result is about: hide's output, the first operand of the others
// that work on files; none for usage errors and the program's own commands.
std::optional<std::string> ResultFileOf(const Arguments& args) {
    const std::string& command = args.Command();
    if (command == "hide")
        return args.Value("output");
    if (command == "scan" || command == "help" || command == "version" || command == "completion" ||
        args.Operands().empty())
        return std::nullopt;
    return args.Operands()[0];
}

int Run(const Words& all) {
    if (all.empty()) {
        std::fputs(ProgramHelp().c_str(), stderr);
        return InfoOf(Code::Usage).exitStatus;
    }
    const std::string& name = all[0];
    if (name == "--version" || name == "-V")
        return RunVersion(Arguments("version", {}, {}));
    if (!name.empty() && name[0] == '-')
        return RunProgramOptions(all);
    const CommandSpec* command = FindCommand(name);
    if (command == nullptr)
        throw UsageError("", UnknownCommand(name));
    const Arguments args(name, OptionsOf(name), Words(all.begin() + 1, all.end()));
    if (args.Has("help")) {
        std::fputs(CommandHelp(*command).c_str(), stdout);
        return 0;
    }
    // Of -q and -v, the last one given wins, so an alias can be overridden.
    const std::string loudness = args.LastGiven({"quiet", "verbose"});
    SetReporting(loudness == "quiet"     ? Verbosity::Quiet
                 : loudness == "verbose" ? Verbosity::Verbose
                                         : Verbosity::Normal,
                 args.Has("json"));
    SetResultFile(ResultFileOf(args));
    return command->run(args);
}

void PrintError(const std::string& text) {
    std::string line = "lumora-cli: " + Shown(text, TextKind::Line, Stream::Err) + "\n";
    std::fputs(line.c_str(), stderr);
}

void PrintJsonError(bool json, Code code, Reason reason, const std::string& text) {
    if (!json)
        return;
    JsonObject object;
    if (const std::optional<std::string>& file = ResultFile())
        object.String("file", *file);
    else
        object.Null("file");
    object.String("code", InfoOf(code).name);
    PrintJson(AddFailure(object, reason, text).Text());
}

} // namespace

int main(int argc, char** argv) {
    // Best effort: a kernel that refuses leaves nothing better to do than to go on.
    static_cast<void>(lumora::HardenProcess());
    InstallInterruptHandlers();
    TakePasswordFromEnvironment();
    lumora::RemoveStaleWorkFolders();
    const Words words(argv + 1, argv + argc);
    const bool json = AsksForJson(words);
    int status = InfoOf(Code::Failure).exitStatus;
    try {
        status = Run(words);
    } catch (const UsageError& error) {
        PrintError(error.what());
        std::string help = error.Command().empty() ? "--help" : error.Command() + " --help";
        std::fprintf(stderr, "Try 'lumora-cli %s'.\n", help.c_str());
        PrintJsonError(json, Code::Usage, Reason::None, error.what());
        status = InfoOf(Code::Usage).exitStatus;
    } catch (const CliError& error) {
        if (PendingSignal() == 0) {
            PrintError(error.what());
            PrintJsonError(json, error.GetCode(), error.GetReason(), error.what());
            status = InfoOf(error.GetCode()).exitStatus;
        }
    } catch (const std::exception& error) {
        PrintError(error.what());
        PrintJsonError(json, Code::Failure, Reason::None, error.what());
    }
    // A reader that went away shows here, as SIGPIPE, at the latest.
    const bool written = std::fflush(stdout) == 0 && !std::ferror(stdout);
    if (PendingSignal() != 0) {
        if (PendingSignal() != SIGPIPE) {
            std::fputs("lumora-cli: interrupted\n", stderr);
            PrintJsonError(json, Code::Cancelled, Reason::Cancelled, "interrupted");
            std::fflush(stdout);
        }
        ReraisePendingSignal();
    }
    if (!written) {
        std::fputs("lumora-cli: cannot write the output\n", stderr);
        return InfoOf(Code::Failure).exitStatus;
    }
    return status;
}
