// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-cli edit: the re-save of the desktop program's reveal view, from the command line.
#include "cli/Carrier.h"
#include "cli/CliError.h"
#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/FilesToHide.h"
#include "cli/MessageText.h"
#include "cli/SaveCarrier.h"
#include "cli/TerminalProgress.h"

#include <algorithm>
#include <filesystem>

namespace lumora::cli {
namespace {

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec);
}

} // namespace

int RunEdit(const Args& args) {
    auto arguments = ParseCommand("edit",
                                  {{"output", 'o', true},
                                   {"message", 'm', true},
                                   {"message-file", 0, true},
                                   {"clear-message", 0, false},
                                   {"add", 0, true, true},
                                   {"remove", 0, true, true},
                                   {"force", 0, false},
                                   PasswordFileOption()},
                                  args);
    if (!arguments)
        return 0;
    if (arguments->Operands().size() != 1)
        throw UsageError("edit", "edit takes exactly one CARRIER");
    const std::string& path = arguments->Operands()[0];
    auto output = arguments->Value("output");
    auto adds = arguments->Values("add");
    auto removes = arguments->Values("remove");
    bool clearMessage = arguments->Has("clear-message");
    bool force = arguments->Has("force");
    auto newMessage =
        MessageFromOptions("edit", arguments->Value("message"), arguments->Value("message-file"));
    if (clearMessage && newMessage)
        throw UsageError("edit", "--clear-message cannot be used with -m or --message-file");
    if (!output && !newMessage && !clearMessage && adds.empty() && removes.empty())
        throw UsageError("edit", "nothing to change: give -m, --message-file, "
                                 "--clear-message, --add, --remove or -o");

    bool inPlace = !output || SameFile(*output, path);
    if (!inPlace)
        RequireNewOutput(*output, force);

    TerminalProgress progress;
    // Held from the open to the replace, so two edits cannot lose each other's changes.
    auto session =
        UnlockCarrier("edit", path, arguments->Value("password-file"), progress, inPlace);
    const auto& entries = session->Entries();
    for (const auto& name : removes)
        if (std::none_of(entries.begin(), entries.end(),
                         [&](const HiddenEntry& entry) { return entry.name == name; }))
            throw Failure("no hidden file named " + name + " in " + path);
    SaveRequest request;
    std::vector<std::string> keptNames;
    for (const HiddenEntry& entry : entries) {
        if (std::find(removes.begin(), removes.end(), entry.name) != removes.end())
            continue;
        request.keptEntries.push_back(entry.index);
        keptNames.push_back(entry.name);
    }
    request.addedFiles = CheckFilesToHide(adds, keptNames, path);
    request.destination = output ? *output : path;
    request.keepMessage = !newMessage && !clearMessage;
    request.message = newMessage;
    request.replaceExisting = inPlace || force;
    request.allowLoss = force;
    request.allowChanged = force;
    ThrowIfFailed(session->Save(request));
    return 0;
}

} // namespace lumora::cli
