// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-cli reveal and extract: the hidden message on stdout, hidden files into a folder
// or to stdout.
#include "cli/Arguments.h"
#include "cli/Carrier.h"
#include "cli/CliError.h"
#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "cli/Json.h"
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
#include "engine/MessageForm.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace lumora::cli {
namespace {

// The message as the command line shows it (LF line breaks); none when there is none.
std::optional<std::string> ReadableMessage(const UnlockedCarrier& session,
                                           const CarrierInput& carrier) {
    switch (session.GetMessageState()) {
    case MessageState::None:
        return std::nullopt;
    case MessageState::TooLarge:
        throw ErrorOf(Status::OverLimit(Reason::MessageTooLargeToShow, kMaxMessageEntrySize));
    case MessageState::Damaged:
        throw ErrorOf(Status::Fail(Reason::MessageDamaged), carrier.Name());
    case MessageState::Present:
        break;
    }
    return FromStoredForm(*session.Message());
}

void PrintMessage(const std::string& message) {
    std::string text = Shown(message, TextKind::Message, Stream::Out);
    // On a terminal, end the last line so the prompt does not follow it; pipes and files
    // get the message exactly.
    if (!text.empty() && text.back() != '\n' && IsTerminal(Stream::Out))
        text += '\n';
    std::fwrite(text.data(), 1, text.size(), stdout);
}

std::string EntriesJson(const std::vector<HiddenEntry>& entries) {
    std::vector<std::string> items;
    for (const HiddenEntry& entry : entries)
        items.push_back(JsonObject().String("name", entry.name).Number("size", entry.size).Text());
    return JsonArray(items);
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
    if (auto folder = args.Value("directory"))
        written = WriteHiddenFiles(*session, entries, *folder, args.Has("force"));
    progress.Clear();
    if (!args.Has("directory") && !entries.empty())
        Note(Plural(entries.size(), "hidden file is", "hidden files are") +
             " not written; use -d DIR to write them");
    const std::optional<std::string> message = ReadableMessage(*session, carrier);
    if (JsonOutput()) {
        JsonObject object = CarrierObject(carrier, Code::Ok);
        if (message)
            object.String("hiddenMessage", *message);
        else
            object.Null("hiddenMessage");
        PrintJson(
            object.Raw("entries", EntriesJson(entries)).Raw("written", JsonArray(written)).Text());
    } else if (message) {
        PrintMessage(*message);
    }
    return 0;
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
        if (std::find(operands.begin() + 1, name, *name) != name)
            continue;
        const size_t before = chosen.size();
        for (const HiddenEntry& entry : session->Entries())
            if (entry.name == *name)
                chosen.push_back(entry);
        if (chosen.size() == before)
            throw ErrorOf(Status::Fail(Reason::NoSuchHiddenFile, *name), carrier.Name());
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
