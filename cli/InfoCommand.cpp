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
#include "text/FormatFileSize.h"

#include <cstdio>
#include <filesystem>

namespace lumora::cli {
namespace {

// What a file was seen to hold.
enum class Seen {
    Classic, // a valid classic trailer
    Sealed,  // sealed data that the password opened
    None,    // no classic data, and too small or too large for sealed data
    Unknown, // no classic data; sealed data cannot be seen without its password
};

const char* JsonName(Seen seen) {
    switch (seen) {
    case Seen::Classic:
        return "classic";
    case Seen::Sealed:
        return "sealed";
    case Seen::None:
        return "none";
    case Seen::Unknown:
        break;
    }
    return "unknown";
}

constexpr const char* kSealedUnseen = "sealed data cannot be seen without its password";

bool HasTrailer(const CarrierTrailer& trailer) {
    return trailer.magic[0] == 'V' && trailer.magic[1] == 'Z';
}

void AddNumbers(JsonObject& object, const CarrierTrailer& trailer, bool valid, Seen seen) {
    object.Bool("hasTrailer", HasTrailer(trailer))
        .Bool("valid", valid)
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
    std::printf("Image File Size: %s\n", FormatFileSize(fileSize).c_str());
    std::printf("Image Part Size: %s\n", FormatFileSize(imageSize).c_str());
    std::printf("Hidden Text Messages Size: %s\n", FormatFileSize(messageSize).c_str());
    std::printf("Hidden Files Number: %d\n", fileCount);
    std::printf("Hidden Files Total Size: %s\n", FormatFileSize(filesSize).c_str());
}

void PrintFound(const std::string& name, const std::string& what, const CarrierTrailer& numbers) {
    std::printf("%s: %s\n", name.c_str(), what.c_str());
    PrintPanel(int64_t{numbers.imageLength} + numbers.payloadLength, numbers.imageLength,
               numbers.messageLength, numbers.fileCount, numbers.filesTotalSize);
}

// A file without hidden data that could be seen: `head` says what was found, the reasons
// follow in parentheses.
void PrintNotFound(const CarrierInput& carrier, const CarrierTrailer& trailer,
                   const std::string& head, bool sealedUnseen) {
    // Without a payload the whole file, or what a trailer marks as image, is the picture.
    std::error_code ec;
    auto fileSize = static_cast<int64_t>(std::filesystem::file_size(carrier.Path(), ec));
    int64_t imageSize = fileSize;
    if (HasTrailer(trailer) && trailer.imageLength > 0 && trailer.imageLength < fileSize)
        imageSize = trailer.imageLength;
    std::string reasons;
    if (HasTrailer(trailer) && trailer.version != kTrailerVersion)
        reasons = "unsupported trailer version " + std::to_string(trailer.version);
    else if (HasTrailer(trailer))
        reasons = "the trailer's lengths do not fit the file";
    if (sealedUnseen)
        reasons += (reasons.empty() ? "" : "; ") + std::string(kSealedUnseen);
    const std::string name = Shown(carrier.Name(), TextKind::Name, Stream::Out);
    std::printf("%s: %s%s\n", name.c_str(), head.c_str(),
                reasons.empty() ? "" : (" (" + reasons + ")").c_str());
    PrintPanel(fileSize, imageSize, 0, 0, 0);
}

} // namespace

int RunInfo(const Arguments& args) {
    PasswordSource password(args, PasswordUse::Open);
    const SealedTry sealed = SealedTryOf(args);
    bool first = true;
    return ForEachCarrier(args, [&](const CarrierInput& carrier, bool) {
        TerminalProgress progress;
        auto session = OpenCarrier(carrier, progress);
        Seen seen = Seen::Classic;
        bool tried = false;
        if (!session->HasData())
            seen = session->MayHoldSealedData() ? Seen::Unknown : Seen::None;
        Status unlocked = Status::Fail(Reason::SealedNotTried);
        if (TriesSealed(*session, password, sealed)) {
            tried = true;
            unlocked = UnlockWithTries(*session, password);
            if (unlocked.Outcome() != Outcome::NoData) {
                ThrowIfFailed(unlocked, carrier.Name());
                seen = Seen::Sealed;
            }
        }
        progress.Clear();
        const bool found = seen == Seen::Classic || seen == Seen::Sealed;
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
                       "no classic data in " + carrier.Name() + " (" + kSealedUnseen + ")");
        AddNumbers(result.entry, session->Summary(), seen == Seen::Classic, seen);
        result.json = result.entry.Text();
        if (!JsonOutput()) {
            if (!first)
                std::fputc('\n', stdout);
            const std::string name = Shown(carrier.Name(), TextKind::Name, Stream::Out);
            if (seen == Seen::Classic)
                PrintFound(name,
                           "Lumora carrier, trailer version " +
                               std::to_string(session->Trailer().version),
                           session->Trailer());
            else if (seen == Seen::Sealed)
                PrintFound(name, "sealed Lumora carrier", session->Summary());
            else
                PrintNotFound(carrier, session->Trailer(),
                              seen == Seen::None ? "no hidden data"
                              : tried            ? ReasonText(unlocked, carrier.Name())
                                                 : "no classic data",
                              seen == Seen::Unknown && !tried);
        }
        first = false;
        return result;
    });
}

} // namespace lumora::cli
