// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-cli edit: the re-save of the desktop program's reveal view, from the command line.
#include "cli/Carrier.h"
#include "cli/CliError.h"
#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/FilesToHide.h"
#include "cli/MessageText.h"
#include "cli/SaveCarrier.h"
#include "cli/TerminalProgress.h"

#include <algorithm>
#include <filesystem>

namespace lumora::cli {
namespace {

struct Listing {
    std::vector<HiddenFile> files;
    std::optional<std::string> message;
    std::string password;
};

// Opens the carrier as the reveal view does, so a wrong password is refused before the
// re-save could write a carrier without the old content.
Listing ReadCarrier(const std::string& path, const std::optional<std::string>& passwordFile,
                    TerminalProgress& progress) {
    auto carrier = UnlockCarrier("edit", path, passwordFile, progress);
    return {ListHiddenFiles(*carrier.engine), carrier.engine->Message(), carrier.password};
}

bool SameListing(const std::vector<HiddenFile>& a, const std::vector<HiddenFile>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
        return x.slot == y.slot && x.name == y.name && x.size == y.size;
    });
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec);
}

} // namespace

int RunEdit(const Args& args) {
    auto arguments = ParseCommand("edit",
                                  {{"output", 'o', true},
                                   {"message", 'm', true},
                                   {"message-file", 0, true},
                                   {"clear-message", 0, false},
                                   {"add", 0, true, true},
                                   {"remove", 0, true, true},
                                   {"force", 0, false},
                                   PasswordFileOption()},
                                  args);
    if (!arguments)
        return 0;
    if (arguments->Operands().size() != 1)
        throw UsageError("edit", "edit takes exactly one CARRIER");
    const std::string& path = arguments->Operands()[0];
    auto output = arguments->Value("output");
    auto adds = arguments->Values("add");
    auto removes = arguments->Values("remove");
    bool clearMessage = arguments->Has("clear-message");
    auto newMessage =
        MessageFromOptions("edit", arguments->Value("message"), arguments->Value("message-file"));
    if (clearMessage && newMessage)
        throw UsageError("edit", "--clear-message cannot be used with -m or --message-file");
    if (!output && !newMessage && !clearMessage && adds.empty() && removes.empty())
        throw UsageError("edit", "nothing to change: give -m, --message-file, "
                                 "--clear-message, --add, --remove or -o");

    std::string destination = output ? *output : path;
    if (output && !SameFile(*output, path))
        RequireNewOutput(*output, arguments->Has("force"));

    TerminalProgress progress;
    Listing before = ReadCarrier(path, arguments->Value("password-file"), progress);
    auto isRemoved = [&](const HiddenFile& file) {
        return std::find(removes.begin(), removes.end(), file.name) != removes.end();
    };
    for (const auto& name : removes)
        if (std::none_of(before.files.begin(), before.files.end(),
                         [&](const HiddenFile& file) { return file.name == name; }))
            throw Failure("no hidden file named " + name + " in " + path);
    std::vector<std::string> keptNames;
    for (const auto& file : before.files)
        if (!isRemoved(file))
            keptNames.push_back(file.name);
    auto files = CheckFilesToHide(adds, keptNames, path);

    auto engine = NewEngine(progress);
    // Also an empty password: carriers saved under one re-save under it.
    engine->SetPassword(Password(before.password));
    if (engine->OpenCarrier(path, OPEN_UNPACK) != 1)
        throw Failure(EngineReason(*engine, "cannot read " + path));
    auto listed = ListHiddenFiles(*engine);
    if (!SameListing(listed, before.files) || engine->Message() != before.message)
        throw Failure(EngineReason(*engine, "cannot read the hidden data of " + path));

    std::vector<int> kept;
    for (const auto& file : listed)
        if (!isRemoved(file))
            kept.push_back(file.slot);
    SaveContent(*engine,
                clearMessage ? std::nullopt
                : newMessage ? newMessage
                             : before.message,
                kept, files, destination);
    return 0;
}

} // namespace lumora::cli
