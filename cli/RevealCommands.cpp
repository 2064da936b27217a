// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-cli reveal and extract: the hidden message on stdout, hidden files into a folder.
#include "cli/Carrier.h"
#include "cli/CliError.h"
#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/TerminalProgress.h"
#include "cli/WriteHiddenFiles.h"
#include "engine/MessageForm.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace lumora::cli {
namespace {

std::vector<OptionRule> OutputOptions() {
    return {{"directory", 'd', true}, {"force", 0, false}, PasswordFileOption()};
}

void PrintMessage(const CarrierSession& session) {
    switch (session.GetMessageState()) {
    case MessageState::None:
        return;
    case MessageState::TooLarge:
        throw Failure("the hidden message is too large to be shown (64 MiB at most)");
    case MessageState::Damaged:
        throw Failure("the hidden message is damaged");
    case MessageState::Present:
        break;
    }
    std::string text = FromStoredForm(*session.Message());
    // On a terminal, end the last line so the prompt does not follow it; pipes and files
    // get the message exactly.
    if (!text.empty() && text.back() != '\n' && ::isatty(STDOUT_FILENO) == 1)
        text += '\n';
    std::fwrite(text.data(), 1, text.size(), stdout);
}

} // namespace

int RunReveal(const Args& args) {
    auto arguments = ParseCommand("reveal", OutputOptions(), args);
    if (!arguments)
        return 0;
    if (arguments->Operands().size() != 1)
        throw UsageError("reveal", "reveal takes exactly one CARRIER");
    const std::string& path = arguments->Operands()[0];

    TerminalProgress progress;
    auto session = UnlockCarrier("reveal", path, arguments->Value("password-file"), progress);
    if (auto folder = arguments->Value("directory"))
        WriteHiddenFiles(*session, session->Entries(), *folder, arguments->Has("force"));
    progress.Clear();
    PrintMessage(*session);
    return 0;
}

int RunExtract(const Args& args) {
    auto arguments = ParseCommand("extract", OutputOptions(), args);
    if (!arguments)
        return 0;
    const auto& operands = arguments->Operands();
    if (operands.size() < 2)
        throw UsageError("extract", "extract needs a CARRIER and at least one NAME");
    auto folder = arguments->Value("directory");
    if (!folder)
        throw UsageError("extract", "extract needs -d DIR");
    const std::string& path = operands[0];

    TerminalProgress progress;
    auto session = UnlockCarrier("extract", path, arguments->Value("password-file"), progress);
    std::vector<HiddenEntry> chosen;
    for (auto name = operands.begin() + 1; name != operands.end(); ++name) {
        if (std::find(operands.begin() + 1, name, *name) != name)
            continue;
        size_t before = chosen.size();
        for (const HiddenEntry& entry : session->Entries())
            if (entry.name == *name)
                chosen.push_back(entry);
        if (chosen.size() == before)
            throw Failure("no hidden file named " + *name + " in " + path);
    }
    WriteHiddenFiles(*session, chosen, *folder, arguments->Has("force"));
    return 0;
}

} // namespace lumora::cli
