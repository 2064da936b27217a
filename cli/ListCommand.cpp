// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-cli list: the hidden files and their sizes.
#include "cli/Carrier.h"
#include "cli/CliError.h"
#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/TerminalProgress.h"
#include "engine/FormatFileSize.h"

#include <cstdio>

namespace lumora::cli {

int RunList(const Args& args) {
    auto arguments = ParseCommand("list", {{"json", 0, false}, PasswordFileOption()}, args);
    if (!arguments)
        return 0;
    if (arguments->Operands().size() != 1)
        throw UsageError("list", "list takes exactly one CARRIER");
    const std::string& path = arguments->Operands()[0];

    TerminalProgress progress;
    auto session = UnlockCarrier("list", path, arguments->Value("password-file"), progress);
    progress.Clear();
    const auto& files = session->Entries();

    if (arguments->Has("json")) {
        std::string json = "[";
        for (const auto& file : files) {
            json += json.size() > 1 ? ", " : "";
            json += "{\"name\": " + JsonString(file.name) +
                    ", \"size\": " + std::to_string(file.size) + "}";
        }
        std::printf("%s]\n", json.c_str());
        return 0;
    }
    for (const auto& file : files)
        std::printf("%12s  %s\n", FormatFileSize(file.size).c_str(), file.name.c_str());
    return 0;
}

} // namespace lumora::cli
