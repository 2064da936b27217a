// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-cli hide: a new carrier from an image, a message and files.
#include "cli/Carrier.h"
#include "cli/CliError.h"
#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/FileErrors.h"
#include "cli/FilesToHide.h"
#include "cli/MessageText.h"
#include "cli/Password.h"
#include "cli/SaveCarrier.h"
#include "cli/TerminalProgress.h"

#include <filesystem>

namespace lumora::cli {

int RunHide(const Args& args) {
    auto arguments = ParseCommand("hide",
                                  {{"output", 'o', true},
                                   {"message", 'm', true},
                                   {"message-file", 0, true},
                                   {"force", 0, false},
                                   PasswordFileOption()},
                                  args);
    if (!arguments)
        return 0;
    const auto& operands = arguments->Operands();
    if (operands.empty())
        throw UsageError("hide", "hide needs an IMAGE");
    auto output = arguments->Value("output");
    if (!output)
        throw UsageError("hide", "hide needs -o OUTPUT");
    const std::string& image = operands[0];
    auto message =
        MessageFromOptions("hide", arguments->Value("message"), arguments->Value("message-file"));

    RequireReadableFile(image);
    // A carrier with an empty image part could never be opened again.
    std::error_code ec;
    if (std::filesystem::file_size(image, ec) == 0 && !ec)
        throw Failure("cannot hide data in " + image + ": the file is empty");
    const bool force = arguments->Has("force");
    RequireNewOutput(*output, force);
    SaveRequest request;
    request.addedFiles = CheckFilesToHide({operands.begin() + 1, operands.end()}, {}, *output);
    std::string typed =
        ObtainPassword("hide", arguments->Value("password-file"), PasswordUse::Create);
    const Password password = Password::Take(typed);

    TerminalProgress progress;
    auto session = OpenCarrier(image, progress);
    request.destination = *output;
    request.message = message;
    request.newPassword = &password;
    request.replaceExisting = force;
    ThrowIfFailed(session->Save(request));
    return 0;
}

} // namespace lumora::cli
