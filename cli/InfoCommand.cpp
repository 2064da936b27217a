// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-cli info: what the main window's information panel shows, without a password.
#include "cli/Arguments.h"
#include "cli/Carrier.h"
#include "cli/CliError.h"
#include "cli/Commands.h"
#include "cli/PerCarrier.h"
#include "cli/Report.h"
#include "cli/StandardStreams.h"
#include "cli/TerminalProgress.h"
#include "cli/TerminalText.h"
#include "engine/FormatFileSize.h"

#include <cstdio>
#include <filesystem>

namespace lumora::cli {
namespace {

bool HasTrailer(const CarrierTrailer& trailer) {
    return trailer.magic[0] == 'V' && trailer.magic[1] == 'Z';
}

void AddNumbers(JsonObject& object, const CarrierTrailer& trailer, bool valid) {
    object.Bool("hasTrailer", HasTrailer(trailer))
        .Bool("valid", valid)
        .Number("version", trailer.version)
        .Number("imageLength", trailer.imageLength)
        .Number("payloadLength", trailer.payloadLength)
        .Number("messageLength", trailer.messageLength)
        .Number("fileCount", trailer.fileCount)
        .Number("filesTotalSize", trailer.filesTotalSize);
}

void PrintPanel(int64_t fileSize, int64_t imageSize, int64_t messageSize, int fileCount,
                int64_t filesSize) {
    std::printf("Image File Size: %s\n", FormatFileSize(fileSize).c_str());
    std::printf("Image Part Size: %s\n", FormatFileSize(imageSize).c_str());
    std::printf("Hidden Text Messages Size: %s\n", FormatFileSize(messageSize).c_str());
    std::printf("Hidden Files Number: %d\n", fileCount);
    std::printf("Hidden Files Total Size: %s\n", FormatFileSize(filesSize).c_str());
}

void PrintText(const CarrierInput& carrier, const CarrierTrailer& trailer, bool valid) {
    const std::string name = Shown(carrier.Name(), TextKind::Name, Stream::Out);
    if (valid) {
        std::printf("%s: Lumora carrier, trailer version %d\n", name.c_str(), trailer.version);
        PrintPanel(int64_t{trailer.imageLength} + trailer.payloadLength, trailer.imageLength,
                   trailer.messageLength, trailer.fileCount, trailer.filesTotalSize);
        return;
    }
    // Without a payload the whole file, or what a trailer marks as image, is the picture.
    std::error_code ec;
    auto fileSize = static_cast<int64_t>(std::filesystem::file_size(carrier.Path(), ec));
    int64_t imageSize = fileSize;
    if (HasTrailer(trailer) && trailer.imageLength > 0 && trailer.imageLength < fileSize)
        imageSize = trailer.imageLength;
    if (!HasTrailer(trailer))
        std::printf("%s: no hidden data\n", name.c_str());
    else if (trailer.version != kTrailerVersion)
        std::printf("%s: no hidden data (unsupported trailer version %d)\n", name.c_str(),
                    trailer.version);
    else
        std::printf("%s: no hidden data (the trailer's lengths do not fit the file)\n",
                    name.c_str());
    PrintPanel(fileSize, imageSize, 0, 0, 0);
}

} // namespace

int RunInfo(const Arguments& args) {
    bool first = true;
    return ForEachCarrier(args, [&](const CarrierInput& carrier, bool) {
        TerminalProgress progress;
        auto session = OpenCarrier(carrier, progress);
        const CarrierTrailer& trailer = session->Trailer();
        const bool valid = session->HasData();
        const Code code = valid ? Code::Ok : Code::NoData;
        CarrierResult result;
        result.code = code;
        result.entry = CarrierObject(carrier, code);
        if (!valid)
            result.entry.String("message", "no hidden data in " + carrier.Name());
        AddNumbers(result.entry, trailer, valid);
        result.json = result.entry.Text();
        if (!JsonOutput()) {
            if (!first)
                std::fputc('\n', stdout);
            PrintText(carrier, trailer, valid);
        }
        first = false;
        return result;
    });
}

} // namespace lumora::cli
