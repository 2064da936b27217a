// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/FilesToHide.h"

#include "cli/CliError.h"
#include "cli/FileErrors.h"
#include "cli/ReasonText.h"
#include "cli/Report.h"
#include "cli/TreeWalk.h"

#include <algorithm>
#include <filesystem>
#include <map>

namespace lumora::cli {
namespace {

struct Candidate {
    std::string shown;     // as the user would name it
    std::string path;      // absolute
    std::string entryName; // the name it is hidden under
    struct stat info;
};

// The name a folder's files start with: its own name; for "." and the like the name of
// the folder it stands for; none for "/".
std::string FolderPrefix(const std::string& argument) {
    std::filesystem::path path(argument);
    std::string name = path.lexically_normal().filename().string();
    if (name.empty() || name == "." || name == "..") {
        std::error_code ec;
        name = std::filesystem::canonical(path, ec).filename().string();
    }
    return name;
}

std::string KindOf(mode_t mode) {
    if (S_ISLNK(mode))
        return "a symbolic link";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISSOCK(mode))
        return "a socket";
    return "a device";
}

void AddFolder(const std::string& argument, std::vector<Candidate>& found) {
    const std::string prefix = FolderPrefix(argument);
    std::string base = std::filesystem::absolute(argument).lexically_normal().string();
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    Status failed;
    TreeVisitor visitor;
    visitor.entry = [&](const TreeEntry& entry) {
        if (!S_ISREG(entry.info.st_mode)) {
            Note("skipping " + entry.path + ": " + KindOf(entry.info.st_mode));
            return;
        }
        found.push_back({entry.path, base + "/" + entry.below,
                         prefix.empty() ? entry.below : prefix + "/" + entry.below, entry.info});
    };
    visitor.unreadable = [&](const std::string& path, int error) {
        if (failed.Ok())
            failed = Status::Fail(Reason::ReadFailed, path, error);
    };
    WalkTree(argument, visitor);
    if (!failed.Ok())
        throw ErrorOf(failed);
}

} // namespace

std::vector<AddedFile> CheckFilesToHide(const std::vector<std::string>& arguments,
                                        const std::vector<std::string>& hiddenNames,
                                        const std::string& carrier) {
    std::vector<Candidate> candidates;
    for (const auto& argument : arguments) {
        struct stat info {};
        if (::stat(argument.c_str(), &info) != 0)
            throw CannotRead(argument);
        if (S_ISDIR(info.st_mode)) {
            AddFolder(argument, candidates);
            continue;
        }
        RequireReadableFile(argument);
        const auto path = std::filesystem::absolute(argument).lexically_normal();
        candidates.push_back({argument, path.string(), path.filename().string(), info});
    }

    std::vector<AddedFile> files;
    std::map<std::pair<dev_t, ino_t>, std::string> identities;
    std::map<std::string, std::string> names; // entry name -> who takes it ("" for the carrier)
    for (const std::string& name : hiddenNames)
        names.emplace(name, std::string());
    for (const Candidate& file : candidates) {
        if (!identities.emplace(std::make_pair(file.info.st_dev, file.info.st_ino), file.shown)
                 .second)
            throw ErrorOf(Status::Fail(Reason::FileGivenTwice, file.shown));
        // Two entries of one name would collide when the carrier is re-saved or revealed.
        auto [taken, added] = names.emplace(file.entryName, file.shown);
        if (!added) {
            if (taken->second.empty())
                throw ErrorOf(Status::Fail(Reason::NameTaken, file.entryName), carrier);
            throw Failure(taken->second + " and " + file.shown + " would both be hidden as " +
                              file.entryName + "; hidden files need different names",
                          Reason::NameTaken);
        }
        files.emplace_back(file.path, file.entryName);
    }
    return files;
}

} // namespace lumora::cli
