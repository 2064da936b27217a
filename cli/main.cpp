// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-cli: hide a message and files behind an image, and read them back, without a
// window. Results go to stdout, everything else to stderr.
#include "cli/CliError.h"
#include "cli/Commands.h"
#include "cli/HelpText.h"
#include "cli/Interrupt.h"
#include "platform/ProcessHardening.h"
#include "platform/WorkFolder.h"

#include <cstdio>
#include <exception>
#include <map>

using namespace lumora::cli;

namespace {

using Command = int (*)(const Args&);

const std::map<std::string, Command>& CommandTable() {
    static const std::map<std::string, Command> table = {
        {"info", RunInfo}, {"list", RunList}, {"reveal", RunReveal}, {"extract", RunExtract},
        {"hide", RunHide}, {"edit", RunEdit}, {"verify", RunVerify}, {"strip", RunStrip},
    };
    return table;
}

int RunHelp(const Args& args) {
    if (args.empty()) {
        std::fputs(ProgramHelp(), stdout);
        return 0;
    }
    std::string text = CommandHelp(args[0]);
    if (text.empty())
        throw UsageError("", "unknown command '" + args[0] + "'");
    std::fputs(text.c_str(), stdout);
    return 0;
}

int Run(const Args& all) {
    if (all.empty()) {
        std::fputs(ProgramHelp(), stderr);
        return static_cast<int>(Exit::Usage);
    }
    const std::string& name = all[0];
    Args rest(all.begin() + 1, all.end());
    if (name == "--help" || name == "-h" || name == "help")
        return RunHelp(rest);
    if (name == "--version" || name == "version") {
        std::printf("lumora-cli %s\n", LUMORA_VERSION);
        return 0;
    }
    auto command = CommandTable().find(name);
    if (command == CommandTable().end())
        throw UsageError("", "unknown command '" + name + "'");
    return command->second(rest);
}

} // namespace

int main(int argc, char** argv) {
    lumora::HardenProcess();
    InstallInterruptHandlers();
    lumora::RemoveStaleWorkFolders();
    int status = static_cast<int>(Exit::Failure);
    try {
        status = Run(Args(argv + 1, argv + argc));
    } catch (const UsageError& error) {
        std::fprintf(stderr, "lumora-cli: %s\n", error.what());
        std::string help = error.Command().empty() ? "--help" : error.Command() + " --help";
        std::fprintf(stderr, "Try 'lumora-cli %s'.\n", help.c_str());
        status = static_cast<int>(Exit::Usage);
    } catch (const CliError& error) {
        if (PendingSignal() == 0)
            std::fprintf(stderr, "lumora-cli: %s\n", error.what());
        status = static_cast<int>(error.Status());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lumora-cli: %s\n", error.what());
    }
    if (PendingSignal() != 0) {
        std::fputs("lumora-cli: interrupted\n", stderr);
        ReraisePendingSignal();
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fputs("lumora-cli: cannot write the output\n", stderr);
        return static_cast<int>(Exit::Failure);
    }
    return status;
}
