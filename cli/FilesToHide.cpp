// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/FilesToHide.h"

#include "cli/CliError.h"
#include "cli/FileErrors.h"
#include "engine/BindImage.h"

#include <algorithm>
#include <filesystem>
#include <set>

namespace lumora::cli {

std::vector<FileToHide> CheckFilesToHide(const std::vector<std::string>& arguments,
                                         const std::vector<std::string>& hiddenNames,
                                         const std::string& carrier) {
    size_t total = hiddenNames.size() + arguments.size();
    if (total > static_cast<size_t>(kSlotCount))
        throw Failure("too many files: at most " + std::to_string(kSlotCount) +
                      " files can be hidden, this would make " + std::to_string(total));

    std::vector<FileToHide> files;
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
        FileToHide file{argument, path.string(), path.filename().string()};
        if (!paths.insert(identity.string()).second)
            throw Failure(argument + " is given twice");
        if (file.name == kMessageEntryName)
            throw Failure(argument + " cannot be hidden: the name " + file.name +
                          " is reserved for the message");
        // Entries are named by the file name alone; two with one name would collide when
        // the carrier is re-saved or revealed into a folder.
        if (!names.insert(file.name).second) {
            bool inCarrier =
                std::find(hiddenNames.begin(), hiddenNames.end(), file.name) != hiddenNames.end();
            throw Failure(inCarrier ? carrier + " already hides a file named " + file.name +
                                          " (remove it with --remove " + file.name + ")"
                                    : "two files are named " + file.name +
                                          "; hidden files need different names");
        }
        files.push_back(std::move(file));
    }
    return files;
}

} // namespace lumora::cli
