// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-cli reveal and extract: the hidden message on stdout, hidden files into a folder.
#include "cli/Carrier.h"
#include "cli/CliError.h"
#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/MessageText.h"
#include "cli/TerminalProgress.h"
#include "engine/MessageForm.h"
#include "cli/WriteHiddenFiles.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace lumora::cli {
namespace {

std::vector<OptionRule> OutputOptions() {
    return {{"directory", 'd', true}, {"force", 0, false}, PasswordFileOption()};
}

void PrintMessage(const std::optional<std::string>& stored) {
    if (!stored || stored->empty())
        return;
    std::string text = FromStoredForm(*stored);
    // On a terminal, end the last line so the prompt does not follow it; pipes and files
    // get the message exactly.
    if (text.back() != '\n' && ::isatty(STDOUT_FILENO) == 1)
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
    auto carrier = UnlockCarrier("reveal", path, arguments->Value("password-file"), progress);
    if (auto folder = arguments->Value("directory"))
        WriteHiddenFiles(*carrier.engine, ListHiddenFiles(*carrier.engine), *folder,
                         arguments->Has("force"));
    progress.Clear();
    PrintMessage(carrier.engine->Message());
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
    auto carrier = UnlockCarrier("extract", path, arguments->Value("password-file"), progress);
    auto hidden = ListHiddenFiles(*carrier.engine);
    std::vector<HiddenFile> chosen;
    for (auto name = operands.begin() + 1; name != operands.end(); ++name) {
        if (std::find(operands.begin() + 1, name, *name) != name)
            continue;
        size_t before = chosen.size();
        for (const auto& file : hidden)
            if (file.name == *name)
                chosen.push_back(file);
        if (chosen.size() == before)
            throw Failure("no hidden file named " + *name + " in " + path);
    }
    WriteHiddenFiles(*carrier.engine, chosen, *folder, arguments->Has("force"));
    return 0;
}

} // namespace lumora::cli
