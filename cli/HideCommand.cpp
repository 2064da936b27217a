// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-cli hide: a new carrier from an image, a message and files.
#include "cli/Arguments.h"
#include "cli/Carrier.h"
#include "cli/CliError.h"
#include "cli/Commands.h"
#include "cli/FileErrors.h"
#include "cli/FilesToHide.h"
#include "cli/MessageText.h"
#include "cli/Password.h"
#include "cli/PictureFormat.h"
#include "cli/ReasonText.h"
#include "cli/Report.h"
#include "cli/SaveCarrier.h"
#include "cli/SavedCarrier.h"
#include "cli/StandardStreams.h"
#include "cli/TerminalProgress.h"
#include "cli/Threads.h"

namespace lumora::cli {

int RunHide(const Arguments& args) {
    const auto& operands = args.Operands();
    if (operands.empty())
        throw UsageError("hide", "hide needs an IMAGE");
    const auto output = args.Value("output");
    if (!output)
        throw UsageError("hide", "hide needs -o OUTPUT");
    RequireStdinOnce(args, {operands[0]});
    GivesMessage(args);
    const bool force = args.Has("force");
    const std::optional<CarrierFormat> format = NewCarrierFormat(args);
    const int threads = ThreadsOf(args);
    PasswordSource password(args, PasswordUse::Create);
    const OutputTarget target("hide", *output, force);
    const CarrierInput image(operands[0]);

    RequireReadableFile(image.Path());
    // A woven carrier appends nothing to the picture.
    if (!force && format != CarrierFormat::Woven &&
        !ToleratesTrailingBytes(PictureHead(image.Path())))
        throw ErrorOf(Status::Fail(Reason::PictureWouldBreak, image.Name()));
    SaveRequest request;
    request.addedFiles = CheckFilesToHide({operands.begin() + 1, operands.end()}, {}, *output);
    request.message = MessageFromOptions(args, std::nullopt);
    const Password secret = password.Get();

    TerminalProgress progress;
    auto picture = OpenCarrier(image, progress);
    picture->SetWorkerThreads(threads);
    request.destination = target.Path();
    request.newPassword = &secret;
    request.format = format;
    request.replaceExisting = force;
    request.allowOverCapacity = force;
    std::unique_ptr<UnlockedCarrier> saved;
    ThrowIfFailed(OpenedCarrier::Hide(picture, request, saved), image.Name());
    progress.Clear();
    ReportSaved(*saved, target);
    return 0;
}

} // namespace lumora::cli
