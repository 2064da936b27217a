// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-cli info: what the main window's information panel shows. Classic data shows
// without a password; sealed data only once its password opens it.
#include "cli/Arguments.h"
#include "cli/Carrier.h"
#include "cli/CliError.h"
#include "cli/Commands.h"
#include "cli/Password.h"
#include "cli/PerCarrier.h"
#include "cli/ReasonText.h"
#include "cli/Report.h"
#include "cli/StandardStreams.h"
#include "cli/TerminalProgress.h"
#include "cli/TerminalText.h"

#include <cstdio>
#include <filesystem>

namespace lumora::cli {
namespace {

// What a file was seen to hold.
enum class Seen {
    Classic, // a valid classic trailer
    Sealed,  // sealed data that the password opened
    Woven,   // woven data that the password opened
    None,    // no classic data, and too small or too large for sealed data
    Unknown, // no classic data; sealed data cannot be seen without its password
};

const char* JsonName(Seen seen) {
    switch (seen) {
    case Seen::Classic:
        return "classic";
    case Seen::Sealed:
        return "sealed";
    case Seen::Woven:
        return "woven";
    case Seen::None:
        return "none";
    case Seen::Unknown:
        break;
    }
    return "unknown";
}

constexpr const char* kSealedUnseen = "sealed data cannot be seen without its password";
constexpr const char* kWovenUnseen = "woven data cannot be seen without its password";

void AddNumbers(JsonObject& object, const CarrierTrailer& trailer, TrailerVerdict verdict,
                Seen seen) {
    object.Bool("hasTrailer", verdict != TrailerVerdict::None)
        .Bool("valid", seen == Seen::Classic)
        .Number("version", trailer.version)
        .Number("imageLength", trailer.imageLength)
        .Number("payloadLength", trailer.payloadLength)
        .Number("messageLength", trailer.messageLength)
        .Number("fileCount", trailer.fileCount)
        .Number("filesTotalSize", trailer.filesTotalSize)
        .String("hiddenData", JsonName(seen));
}

void PrintPanel(int64_t fileSize, int64_t imageSize, int64_t messageSize, int fileCount,
                int64_t filesSize) {
    std::printf("Image File Size: %s\n", SizeText(fileSize).c_str());
    std::printf("Image Part Size: %s\n", SizeText(imageSize).c_str());
    std::printf("Hidden Text Messages Size: %s\n", SizeText(messageSize).c_str());
    std::printf("Hidden Files Number: %d\n", fileCount);
    std::printf("Hidden Files Total Size: %s\n", SizeText(filesSize).c_str());
}

void PrintFound(const std::string& name, const std::string& what, const CarrierTrailer& numbers) {
    std::printf("%s: %s\n", name.c_str(), what.c_str());
    PrintPanel(int64_t{numbers.imageLength} + numbers.payloadLength, numbers.imageLength,
               numbers.messageLength, numbers.fileCount, numbers.filesTotalSize);
}

// Why a trailer that is there does not count, or nothing when there is none.
std::string TrailerReason(const CarrierTrailer& trailer, TrailerVerdict verdict) {
    switch (verdict) {
    case TrailerVerdict::OtherVersion:
        return "unsupported trailer version " + std::to_string(trailer.version);
    case TrailerVerdict::OutsideFile:
        return "the trailer's lengths do not fit the file";
    case TrailerVerdict::EmptyPart:
        return "the trailer marks an empty image part or payload";
    case TrailerVerdict::None:
    case TrailerVerdict::Classic:
        break;
    }
    return {};
}

// A file without hidden data that could be seen: `head` says what was found, the reasons
// follow in parentheses.
void PrintNotFound(const CarrierInput& carrier, const CarrierTrailer& trailer,
                   TrailerVerdict verdict, const std::string& head, const char* unseen) {
    // Without a payload the whole file, or what a trailer marks as image, is the picture.
    std::error_code ec;
    auto fileSize = static_cast<int64_t>(std::filesystem::file_size(carrier.Path(), ec));
    int64_t imageSize = fileSize;
    if (verdict != TrailerVerdict::None && trailer.imageLength > 0 &&
        trailer.imageLength < fileSize)
        imageSize = trailer.imageLength;
    std::string reasons = TrailerReason(trailer, verdict);
    if (unseen != nullptr)
        reasons += (reasons.empty() ? "" : "; ") + std::string(unseen);
    const std::string name = Shown(carrier.Name(), TextKind::Name, Stream::Out);
    std::printf("%s: %s%s\n", name.c_str(), head.c_str(),
                reasons.empty() ? "" : (" (" + reasons + ")").c_str());
    PrintPanel(fileSize, imageSize, 0, 0, 0);
}

} // namespace

int RunInfo(const Arguments& args) {
    if (args.Has("capacity"))
        return RunInfoCapacity(args);
    PasswordSource password(args, PasswordUse::Open);
    const SealedTry sealed = SealedTryOf(args);
    bool first = true;
    return ForEachCarrier(args, [&](const CarrierInput& carrier, bool) {
        TerminalProgress progress;
        auto opened = OpenCarrier(carrier, progress);
        // What the file shows without a password; unlocking takes the opened carrier over.
        const CarrierTrailer trailer = opened->Trailer();
        const TrailerVerdict verdict = opened->Verdict();
        Seen seen = Seen::Classic;
        bool tried = false;
        const char* unseen = opened->MayHoldWovenData() ? kWovenUnseen : kSealedUnseen;
        if (!opened->HoldsClassicData())
            seen = opened->MayHoldSealedData() || opened->MayHoldWovenData() ? Seen::Unknown
                                                                             : Seen::None;
        Status unlocked = Status::Fail(Reason::SealedNotTried);
        std::unique_ptr<UnlockedCarrier> sealedData;
        if (TriesSealed(*opened, password, sealed)) {
            tried = true;
            unlocked = UnlockWithTries(opened, password, sealedData);
            if (unlocked.Outcome() != Outcome::NoData) {
                ThrowIfFailed(unlocked, carrier.Name());
                seen = sealedData->Format() == CarrierFormat::Woven ? Seen::Woven : Seen::Sealed;
            }
        }
        const CarrierTrailer numbers = sealedData != nullptr ? sealedData->Summary() : trailer;
        progress.Clear();
        const bool found = seen == Seen::Classic || seen == Seen::Sealed || seen == Seen::Woven;
        const Code code = found ? Code::Ok : Code::NoData;

        CarrierResult result;
        result.code = code;
        result.entry = CarrierObject(carrier, code);
        if (seen == Seen::None)
            AddFailure(result.entry, Reason::NoData,
                       ReasonText(Status::Fail(Reason::NoData), carrier.Name()));
        else if (seen == Seen::Unknown && tried)
            AddFailure(result.entry, unlocked.reason, ReasonText(unlocked, carrier.Name()));
        else if (seen == Seen::Unknown)
            AddFailure(result.entry, Reason::SealedNotTried,
                       "no classic data in " + carrier.Name() + " (" + unseen + ")");
        AddNumbers(result.entry, numbers, verdict, seen);
        if (!JsonOutput()) {
            if (!first)
                std::fputc('\n', stdout);
            const std::string name = Shown(carrier.Name(), TextKind::Name, Stream::Out);
            if (seen == Seen::Classic)
                PrintFound(name,
                           "Lumora carrier, trailer version " + std::to_string(trailer.version),
                           trailer);
            else if (seen == Seen::Sealed)
                PrintFound(name, "sealed Lumora carrier", numbers);
            else if (seen == Seen::Woven)
                PrintFound(name, "woven Lumora carrier", numbers);
            else
                PrintNotFound(carrier, trailer, verdict,
                              seen == Seen::None ? "no hidden data"
                              : tried            ? ReasonText(unlocked, carrier.Name())
                                                 : "no classic data",
                              seen == Seen::Unknown && !tried ? unseen : nullptr);
        }
        first = false;
        return result;
    });
}

} // namespace lumora::cli
