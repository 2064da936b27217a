// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-cli edit and passwd: the re-save of the desktop program's reveal view, from the
// command line, with new content, in the other format or under a new password. Both keep
// the carrier's format unless edit is asked to convert it.
#include "cli/Arguments.h"
#include "cli/Carrier.h"
#include "cli/CliError.h"
#include "cli/Commands.h"
#include "cli/EntryPatterns.h"
#include "cli/FilesToHide.h"
#include "cli/MessageText.h"
#include "cli/Password.h"
#include "cli/PasswordWarning.h"
#include "cli/ReasonText.h"
#include "cli/Report.h"
#include "cli/SaveCarrier.h"
#include "cli/SavedCarrier.h"
#include "cli/StandardStreams.h"
#include "cli/TerminalProgress.h"
#include "cli/Threads.h"

#include <algorithm>
#include <filesystem>
#include <utility>

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
    // What an in-place save replaces: the carrier, or OUTPUT when it names the same file
    // (a hard link), which then gets the new content.
    std::string inPlacePath;
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
    resave.inPlacePath = output && resave.inPlace ? *output : resave.carrier;
    return resave;
}

// What --keep-damaged and --drop-damaged ask a save to do with damaged content.
DamagedContent DamagedContentOf(const Arguments& args) {
    if (args.Has("keep-damaged") && args.Has("drop-damaged"))
        throw UsageError(args.Command(), "give either --keep-damaged or --drop-damaged");
    if (args.Has("keep-damaged"))
        return DamagedContent::Keep;
    return args.Has("drop-damaged") ? DamagedContent::Drop : DamagedContent::Refuse;
}

// `newPassword`: a password new to the carrier's format, told about once it is saved
// (cli/PasswordWarning.h); null for none.
// The request is used up: its message moves into the session.
void Save(UnlockedCarrier& session, SaveRequest request, const Resave& resave,
          const CarrierInput& carrier, const Arguments& args, PasswordSource& password,
          TerminalProgress& progress, const Password* newPassword = nullptr) {
    const bool force = args.Has("force");
    request.destination = resave.target ? resave.target->Path() : resave.inPlacePath;
    request.replaceExisting = resave.inPlace || force;
    request.allowLoss = force;
    request.allowChanged = force;
    request.damaged = DamagedContentOf(args);
    // Saved under, a typo past the bytes the carrier proves would lock its owner out.
    if (request.newPassword == nullptr && !session.PasswordProvedWhole() &&
        session.CurrentPassword() != nullptr) {
        progress.Clear();
        request.passwordConfirmed = password.Confirm(*session.CurrentPassword());
    }
    request.allowOverCapacity = force;
    request.allowOldDataInside = force;
    ThrowIfFailed(session.Save(std::move(request)), carrier.Name());
    progress.Clear();
    const std::string estimate =
        newPassword != nullptr ? CheckNewPassword(*newPassword, session.Format()) : "";
    if (resave.target)
        ReportSaved(session, *resave.target, estimate);
    else
        ReportSaved(session, OutputTarget("", resave.inPlacePath, true), estimate);
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
    std::vector<int> removed;
    for (const auto& name : removes) {
        const NamedEntries named = EntriesNamed(entries, name);
        if (named.entries.empty())
            throw ErrorOf(Status::Fail(Reason::NoSuchHiddenFile, name), carrier.Name());
        for (const HiddenEntry& entry : named.entries)
            removed.push_back(entry.index);
    }
    SaveRequest request;
    std::vector<std::string> keptNames;
    for (const HiddenEntry& entry : entries) {
        if (std::find(removed.begin(), removed.end(), entry.index) != removed.end())
            continue;
        request.keptEntries.push_back(entry.index);
        keptNames.push_back(entry.name);
    }
    request.addedFiles = CheckFilesToHide(adds, keptNames, carrier.Name());
    progress.Clear();
    const bool present = session->GetMessageState() == MessageState::Present;
    request.message = MessageFromOptions(args, present ? &*session->Message() : nullptr);
    const bool messageChanged = request.message.has_value() || clearMessage;
    if (!messageChanged && args.Has("edit-message") && resave.inPlace && adds.empty() &&
        removes.empty() && !format) {
        Note("the message is unchanged; " + carrier.Name() + " was left as it was");
        return 0;
    }
    request.keepMessage = !messageChanged;
    request.format = format;
    // A conversion puts the password under another format's key: it is new to that one.
    const bool converts = format && *format != session->Format();
    const Password opened = password.Last();
    Save(*session, std::move(request), resave, carrier, args, password, progress,
         converts ? &opened : nullptr);
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
    Save(*session, std::move(request), resave, carrier, args, password, progress, &secret);
    return 0;
}

} // namespace lumora::cli
