// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/FilesToHide.h"

#include "cli/CliError.h"
#include "cli/FileErrors.h"
#include "engine/BindImage.h"

#include <algorithm>
#include <filesystem>
#include <set>

namespace lumora::cli {

std::vector<AddedFile> CheckFilesToHide(const std::vector<std::string>& arguments,
                                        const std::vector<std::string>& hiddenNames,
                                        const std::string& carrier) {
    size_t total = hiddenNames.size() + arguments.size();
    if (total > static_cast<size_t>(kSlotCount))
        throw Failure("too many files: at most " + std::to_string(kSlotCount) +
                      " files can be hidden, this would make " + std::to_string(total));

    std::vector<AddedFile> files;
    std::set<std::string> paths;
    std::set<std::string> names(hiddenNames.begin(), hiddenNames.end());
    for (const auto& argument : arguments) {
        RequireReadableFile(argument);
        std::error_code ec;
        auto size = std::filesystem::file_size(argument, ec);
        if (ec)
            throw Failure("cannot read " + argument + ": " + ec.message());
        if (size >= static_cast<uintmax_t>(kMaxCarrierSize))
            throw Failure(argument + " is too large to be hidden");

        auto identity = std::filesystem::canonical(argument, ec);
        if (ec)
            throw Failure("cannot read " + argument + ": " + ec.message());
        auto path = std::filesystem::absolute(argument).lexically_normal();
        AddedFile file{path.string(), path.filename().string()};
        if (!paths.insert(identity.string()).second)
            throw Failure(argument + " is given twice");
        if (file.entryName == kMessageEntryName)
            throw Failure(argument + " cannot be hidden: the name " + file.entryName +
                          " is reserved for the message");
        // Entries are named by the file name alone; two with one name would collide when
        // the carrier is re-saved or revealed into a folder.
        if (!names.insert(file.entryName).second) {
            bool inCarrier =
                std::find(hiddenNames.begin(), hiddenNames.end(), file.entryName) != hiddenNames.end();
            throw Failure(inCarrier ? carrier + " already hides a file named " + file.entryName +
                                          " (remove it with --remove " + file.entryName + ")"
                                    : "two files are named " + file.entryName +
                                          "; hidden files need different names");
        }
        files.push_back(std::move(file));
    }
    return files;
}

} // namespace lumora::cli
