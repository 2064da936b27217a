// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-cli info: what the main window's information panel shows, without a password.
#include "cli/Carrier.h"
#include "cli/CliError.h"
#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/TerminalProgress.h"
#include "engine/FormatFileSize.h"

#include <cstdio>
#include <filesystem>

namespace lumora::cli {
namespace {

bool HasTrailer(const CarrierTrailer& trailer) {
    return trailer.magic[0] == 'V' && trailer.magic[1] == 'Z';
}

void PrintJson(const CarrierTrailer& trailer, bool valid) {
    std::printf("{\"hasTrailer\": %s, \"valid\": %s, \"version\": %d, \"imageLength\": %d, "
                "\"payloadLength\": %d, \"messageLength\": %d, \"fileCount\": %d, "
                "\"filesTotalSize\": %d}\n",
                HasTrailer(trailer) ? "true" : "false", valid ? "true" : "false",
                static_cast<int>(trailer.version), trailer.imageLength, trailer.payloadLength,
                trailer.messageLength, trailer.fileCount, trailer.filesTotalSize);
}

void PrintPanel(int64_t fileSize, int64_t imageSize, int64_t messageSize, int fileCount,
                int64_t filesSize) {
    std::printf("Image File Size: %s\n", FormatFileSize(fileSize).c_str());
    std::printf("Image Part Size: %s\n", FormatFileSize(imageSize).c_str());
    std::printf("Hidden Text Messages Size: %s\n", FormatFileSize(messageSize).c_str());
    std::printf("Hidden Files Number: %d\n", fileCount);
    std::printf("Hidden Files Total Size: %s\n", FormatFileSize(filesSize).c_str());
}

} // namespace

int RunInfo(const Args& args) {
    auto arguments = ParseCommand("info", {{"json", 0, false}}, args);
    if (!arguments)
        return 0;
    if (arguments->Operands().size() != 1)
        throw UsageError("info", "info takes exactly one CARRIER");
    const std::string& path = arguments->Operands()[0];

    TerminalProgress progress;
    auto session = OpenCarrier(path, progress);
    const CarrierTrailer& trailer = session->Trailer();
    bool valid = session->HasData();
    if (arguments->Has("json")) {
        PrintJson(trailer, valid);
        return 0;
    }

    if (valid) {
        std::printf("%s: Lumora carrier, trailer version %d\n", path.c_str(), trailer.version);
        PrintPanel(int64_t{trailer.imageLength} + trailer.payloadLength, trailer.imageLength,
                   trailer.messageLength, trailer.fileCount, trailer.filesTotalSize);
        return 0;
    }
    // Without a payload the whole file, or what a trailer marks as image, is the picture.
    std::error_code ec;
    auto fileSize = static_cast<int64_t>(std::filesystem::file_size(path, ec));
    int64_t imageSize = fileSize;
    if (HasTrailer(trailer) && trailer.imageLength > 0 && trailer.imageLength < fileSize)
        imageSize = trailer.imageLength;
    if (!HasTrailer(trailer))
        std::printf("%s: no hidden data\n", path.c_str());
    else if (trailer.version != kTrailerVersion)
        std::printf("%s: no hidden data (unsupported trailer version %d)\n", path.c_str(),
                    trailer.version);
    else
        std::printf("%s: no hidden data (the trailer's lengths do not fit the file)\n",
                    path.c_str());
    PrintPanel(fileSize, imageSize, 0, 0, 0);
    return 0;
}

} // namespace lumora::cli
