// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-cli reveal and extract: the hidden message on stdout, hidden files into a folder
// or to stdout.
#include "cli/Arguments.h"
#include "cli/Carrier.h"
#include "cli/CliError.h"
#include "cli/Commands.h"
#include "cli/EntryPatterns.h"
#include "cli/Interrupt.h"
#include "cli/Json.h"
#include "cli/MessageOutput.h"
#include "cli/Password.h"
#include "cli/PerCarrier.h"
#include "cli/ReasonText.h"
#include "cli/Report.h"
#include "cli/StandardStreams.h"
#include "cli/TerminalProgress.h"
#include "cli/TerminalText.h"
#include "cli/Threads.h"
#include "cli/WriteHiddenFiles.h"
#include "engine/MessageEntry.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace lumora::cli {
namespace {

// The carrier's message in its stored form; null when there is none. With `partly`, a
// damaged message is none: the damage is told with the files'.
const std::string* ReadableMessage(const UnlockedCarrier& session, const CarrierInput& carrier,
                                   bool partly) {
    switch (session.GetMessageState()) {
    case MessageState::None:
        return nullptr;
    case MessageState::TooLarge:
        throw ErrorOf(Status::OverLimit(Reason::MessageTooLargeToShow, kMaxMessageEntrySize));
    case MessageState::Damaged:
        if (partly)
            return nullptr;
        throw ErrorOf(Status::Fail(Reason::MessageDamaged), carrier.Name());
    case MessageState::Present:
        break;
    }
    return &*session.Message();
}

std::string Plural(size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

} // namespace

int RunReveal(const Arguments& args) {
    if (args.Operands().size() != 1)
        throw UsageError("reveal", "reveal takes exactly one CARRIER");
    RequireStdinOnce(args, args.Operands());
    const int threads = ThreadsOf(args);
    PasswordSource password(args, PasswordUse::Open);
    const CarrierInput carrier(args.Operands()[0]);

    TerminalProgress progress;
    // Files written out prove the password as they are read; nothing else needs it first.
    const ProofTiming proof =
        args.Has("directory") ? ProofTiming::AtFirstRead : ProofTiming::AtUnlock;
    auto session =
        UnlockCarrier(carrier, password, progress, SealedTryOf(args), threads, false, proof);
    const auto& entries = session->Entries();
    std::vector<std::string> written;
    const auto folder = args.Value("directory");
    if (folder)
        written = WriteHiddenFiles(*session, entries, *folder, args.Has("force"), true);
    progress.Clear();
    if (!folder && !entries.empty())
        Note(Plural(entries.size(), "hidden file is", "hidden files are") +
             " not written; use -d DIR to write them");
    // Everything intact is out; what is damaged is named, and the exit status says so.
    const bool partly = folder && session->HasDamage();
    const std::string* message = ReadableMessage(*session, carrier, partly);
    const std::vector<std::string> damaged = DamagedFiles(*session);
    if (partly) {
        if (session->GetMessageState() == MessageState::Damaged)
            Warn(ReasonText(Status::Fail(Reason::MessageDamaged), carrier.Name()));
        for (const std::string& name : damaged)
            Warn(ReasonText(Status::Fail(Reason::EntryDamaged, name), carrier.Name()) +
                 "; it was not written");
    }
    const Code code = partly ? Code::PartlyDamaged : Code::Ok;
    if (JsonOutput()) {
        JsonObject object = CarrierObject(carrier, code);
        if (partly)
            object.Raw("damaged", JsonStrings(damaged))
                .Bool("messageDamaged", session->GetMessageState() == MessageState::Damaged);
        if (message)
            object.StoredMessage("hiddenMessage", *message);
        else
            object.Null("hiddenMessage");
        // Printed as it is built: the message may be large.
        object.Raw("entries", EntriesJson(entries))
            .Raw("written", JsonArray(written))
            .Print(stdout);
    } else if (message) {
        // A failed write leaves stdout's error set, which main tells at the end.
        static_cast<void>(WriteMessage(stdout, *message, IsTerminal(Stream::Out)));
    }
    return InfoOf(code).exitStatus;
}

int RunExtract(const Arguments& args) {
    const auto& operands = args.Operands();
    if (operands.size() < 2)
        throw UsageError("extract", "extract needs a CARRIER and at least one NAME");
    const auto folder = args.Value("directory");
    const bool toStdout = args.Has("stdout");
    if (folder && toStdout)
        throw UsageError("extract", "give either -d DIR or --stdout");
    if (!folder && !toStdout)
        throw UsageError("extract", "extract needs -d DIR or --stdout");
    if (toStdout)
        RequireBinaryStdout("extract");
    RequireStdinOnce(args, {operands[0]});
    const int threads = ThreadsOf(args);
    PasswordSource password(args, PasswordUse::Open);
    const CarrierInput carrier(operands[0]);

    TerminalProgress progress;
    // Bytes on standard output cannot be taken back: they wait for the password's proof.
    auto session = UnlockCarrier(carrier, password, progress, SealedTryOf(args), threads, false,
                                 toStdout ? ProofTiming::AtUnlock : ProofTiming::AtFirstRead);
    std::vector<HiddenEntry> chosen;
    for (auto name = operands.begin() + 1; name != operands.end(); ++name) {
        const NamedEntries named = EntriesNamed(session->Entries(), *name);
        if (named.entries.empty())
            throw ErrorOf(Status::Fail(Reason::NoSuchHiddenFile, *name), carrier.Name());
        // Which of the files of one name is meant cannot be told on standard output.
        if (toStdout && named.exact && named.entries.size() > 1) {
            Status ambiguous = Status::Fail(Reason::NameAmbiguous, *name);
            ambiguous.count = static_cast<int64_t>(named.entries.size());
            throw ErrorOf(ambiguous, carrier.Name());
        }
        // A file that several NAMEs stand for is written once.
        for (const HiddenEntry& entry : named.entries)
            if (std::none_of(chosen.begin(), chosen.end(),
                             [&entry](const HiddenEntry& c) { return c.index == entry.index; }))
                chosen.push_back(entry);
    }
    if (toStdout) {
        std::fflush(stdout);
        for (const HiddenEntry& entry : chosen) {
            Status status = session->ExtractToDescriptor(entry.index, STDOUT_FILENO);
            StopIfInterrupted();
            if (status.Outcome() == Outcome::WriteFailed)
                status.subject = "standard output";
            ThrowIfFailed(status, carrier.Name());
            Detail("wrote " + entry.name + " to standard output");
        }
        return 0;
    }
    const std::vector<std::string> written =
        WriteHiddenFiles(*session, chosen, *folder, args.Has("force"));
    if (JsonOutput())
        PrintJson(CarrierObject(carrier, Code::Ok).Raw("written", JsonArray(written)).Text());
    return 0;
}

} // namespace lumora::cli
