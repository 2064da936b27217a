// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-cli edit and passwd: the re-save of the desktop program's reveal view, from the
// command line, with new content, in the other format or under a new password. Both keep
// the carrier's format unless edit is asked to convert it.
#include "cli/Arguments.h"
#include "cli/Carrier.h"
#include "cli/CliError.h"
#include "cli/Commands.h"
#include "cli/FilesToHide.h"
#include "cli/MessageText.h"
#include "cli/Password.h"
#include "cli/ReasonText.h"
#include "cli/Report.h"
#include "cli/SaveCarrier.h"
#include "cli/SavedCarrier.h"
#include "cli/StandardStreams.h"
#include "cli/TerminalProgress.h"
#include "cli/Threads.h"

#include <algorithm>
#include <filesystem>

namespace lumora::cli {
namespace {

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec);
}

// The carrier operand and where the result goes, as edit and passwd take them.
struct Resave {
    std::string carrier;
    std::optional<OutputTarget> target; // none: the carrier is replaced
    bool inPlace = true;
};

Resave ResaveOf(const Arguments& args) {
    const std::string& command = args.Command();
    if (args.Operands().size() != 1)
        throw UsageError(command, command + " takes exactly one CARRIER");
    RequireStdinOnce(args, args.Operands());
    Resave resave;
    resave.carrier = args.Operands()[0];
    const auto output = args.Value("output");
    if (resave.carrier == "-" && !output)
        throw UsageError(command, command + " - needs -o OUTPUT");
    resave.inPlace = !output || (*output != "-" && SameFile(*output, resave.carrier));
    if (output && !resave.inPlace)
        resave.target.emplace(command, *output, args.Has("force"));
    return resave;
}

void Save(UnlockedCarrier& session, SaveRequest& request, const Resave& resave,
          const CarrierInput& carrier, bool force, TerminalProgress& progress) {
    request.destination = resave.target ? resave.target->Path() : resave.carrier;
    request.replaceExisting = resave.inPlace || force;
    request.allowLoss = force;
    request.allowChanged = force;
    request.allowOverCapacity = force;
    request.allowOldDataInside = force;
    ThrowIfFailed(session.Save(request), carrier.Name());
    progress.Clear();
    if (resave.target)
        ReportSaved(session, *resave.target);
    else
        ReportSaved(session, OutputTarget("", resave.carrier, true));
}

} // namespace

int RunEdit(const Arguments& args) {
    const auto adds = args.Values("add");
    const auto removes = args.Values("remove");
    const bool clearMessage = args.Has("clear-message");
    const bool newMessage = GivesMessage(args);
    if (clearMessage && newMessage)
        throw UsageError("edit", "--clear-message cannot be used with -m, --message-file or -e");
    const std::optional<CarrierFormat> format = FormatToWrite(args);
    if (!args.Has("output") && !newMessage && !clearMessage && adds.empty() && removes.empty() &&
        !format)
        throw UsageError("edit",
                         "nothing to change: give -m, --message-file, -e, "
                         "--clear-message, --add, --remove, --sealed, --classic, --woven or -o");
    const Resave resave = ResaveOf(args);
    const int threads = ThreadsOf(args);
    PasswordSource password(args, PasswordUse::Open);
    const CarrierInput carrier(resave.carrier);

    TerminalProgress progress;
    // Held from the open to the replace, so two edits cannot lose each other's changes.
    auto session =
        UnlockCarrier(carrier, password, progress, SealedTry::Always, threads, resave.inPlace);
    const auto& entries = session->Entries();
    for (const auto& name : removes)
        if (std::none_of(entries.begin(), entries.end(),
                         [&](const HiddenEntry& entry) { return entry.name == name; }))
            throw ErrorOf(Status::Fail(Reason::NoSuchHiddenFile, name), carrier.Name());
    SaveRequest request;
    std::vector<std::string> keptNames;
    for (const HiddenEntry& entry : entries) {
        if (std::find(removes.begin(), removes.end(), entry.name) != removes.end())
            continue;
        request.keptEntries.push_back(entry.index);
        keptNames.push_back(entry.name);
    }
    request.addedFiles = CheckFilesToHide(adds, keptNames, carrier.Name());
    progress.Clear();
    const bool present = session->GetMessageState() == MessageState::Present;
    request.message = MessageFromOptions(args, present ? session->Message() : std::nullopt);
    const bool messageChanged = request.message.has_value() || clearMessage;
    if (!messageChanged && args.Has("edit-message") && resave.inPlace && adds.empty() &&
        removes.empty() && !format) {
        Note("the message is unchanged; " + carrier.Name() + " was left as it was");
        return 0;
    }
    request.keepMessage = !messageChanged;
    request.format = format;
    Save(*session, request, resave, carrier, args.Has("force"), progress);
    return 0;
}

int RunPasswd(const Arguments& args) {
    const Resave resave = ResaveOf(args);
    const int threads = ThreadsOf(args);
    PasswordSource password(args, PasswordUse::Open);
    PasswordSource newPassword(args, PasswordUse::Create, true);
    const CarrierInput carrier(resave.carrier);

    TerminalProgress progress;
    auto session =
        UnlockCarrier(carrier, password, progress, SealedTry::Always, threads, resave.inPlace);
    progress.Clear();
    const Password secret = newPassword.Get();
    SaveRequest request;
    for (const HiddenEntry& entry : session->Entries())
        request.keptEntries.push_back(entry.index);
    request.keepMessage = true;
    request.newPassword = &secret;
    Save(*session, request, resave, carrier, args.Has("force"), progress);
    return 0;
}

} // namespace lumora::cli
