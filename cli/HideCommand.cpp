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
#include "cli/PasswordWarning.h"
#include "cli/PictureFormat.h"
#include "cli/ReasonText.h"
#include "cli/Report.h"
#include "cli/SaveCarrier.h"
#include "cli/SavedCarrier.h"
#include "cli/StandardStreams.h"
#include "cli/TerminalProgress.h"
#include "cli/Threads.h"
#include "picture/PictureKind.h"

#include <utility>

namespace lumora::cli {
namespace {

// Refuses what must not be a cover: a picture that breaks with data behind it, a file that
// is no picture (swapped operands would show a secret in clear), one that holds data
// after its picture already.
void RequireCover(const CarrierInput& image, const OpenedCarrier& picture) {
    // A drawing in a text format is a picture that data behind it would break; any other
    // text is no picture at all, which CheckCover names.
    if (const std::string head = PictureHead(image.Path()); !ToleratesTrailingBytes(head)) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(head.data());
        if (KindOfHead({bytes, head.size()}, head.size()) == PictureKind::Svg)
            throw ErrorOf(Status::Fail(Reason::PictureWouldBreak, image.Name()));
    }
    Status cover = picture.CheckCover();
    if (!cover.Ok()) {
        cover.subject = image.Name();
        throw ErrorOf(cover);
    }
}

} // namespace

int RunHide(const Arguments& args) {
    const auto& operands = args.Operands();
    if (operands.empty())
        throw UsageError("hide", "hide needs an IMAGE");
    const auto output = args.Value("output");
    if (!output)
        throw UsageError("hide", "hide needs -o OUTPUT");
    RequireStdinOnce(args, {operands[0]});
    if (!GivesMessage(args) && operands.size() < 2)
        throw UsageError("hide", "nothing to hide: give a message (-m, --message-file, -e) or "
                                 "files");
    const bool force = args.Has("force");
    const std::optional<CarrierFormat> format = NewCarrierFormat(args);
    const int threads = ThreadsOf(args);
    PasswordSource password(args, PasswordUse::Create);
    const OutputTarget target("hide", *output, force);
    const CarrierInput image(operands[0]);

    RequireReadableFile(image.Path());
    TerminalProgress progress;
    auto picture = OpenCarrier(image, progress);
    if (!force)
        RequireCover(image, *picture);
    SaveRequest request;
    request.addedFiles = CheckFilesToHide({operands.begin() + 1, operands.end()}, {}, *output);
    request.message = MessageFromOptions(args, nullptr);
    if (request.addedFiles.empty() && (!request.message || request.message->empty()))
        throw Failure("nothing to hide: the message is empty and no files were given; nothing "
                      "was written");
    const Password secret = password.Get();

    picture->SetWorkerThreads(threads);
    request.destination = target.Path();
    request.newPassword = &secret;
    request.format = format;
    request.replaceExisting = force;
    request.allowOverCapacity = force;
    std::unique_ptr<UnlockedCarrier> saved;
    ThrowIfFailed(OpenedCarrier::Hide(picture, std::move(request), saved), image.Name());
    progress.Clear();
    ReportSaved(*saved, target, CheckNewPassword(secret, saved->Format()));
    return 0;
}

} // namespace lumora::cli
