// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/WriteHiddenFiles.h"

#include "archive/EntryName.h"
#include "cli/Carrier.h"
#include "cli/CliError.h"
#include "cli/FileErrors.h"
#include "cli/Interrupt.h"
#include "cli/Json.h"
#include "cli/Report.h"
#include "engine/OutputNames.h"
#include "platform/AtomicFile.h"
#include "platform/FolderHandle.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>

namespace lumora::cli {
namespace {

bool ExistsBelow(const FolderHandle& root, const std::string& path) {
    std::string name;
    FolderHandle parent = root.ParentOfEntry(path, false, name);
    struct stat info {};
    return parent && ::fstatat(parent.Fd(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

std::string CannotWriteBelow(const std::string& folder, const std::string& path, int error) {
    return "cannot write " + folder + "/" + path + ": " + std::strerror(error);
}

// Why the folders of `path` below `root` cannot be walked: names the first one on the way
// that is a symbolic link or no folder, else tells the system's reason.
std::string BlockedBelow(const FolderHandle& root, const std::string& folder,
                         const std::string& path, int error) {
    const std::vector<std::string> parts = EntryNameParts(path);
    FolderHandle at = root.Duplicate();
    std::string walked = folder;
    for (size_t i = 0; i + 1 < parts.size() && at; ++i) {
        walked += "/" + parts[i];
        struct stat info {};
        if (::fstatat(at.Fd(), parts[i].c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            !S_ISDIR(info.st_mode))
            return "refusing to write " + folder + "/" + path + ": " + walked +
                   (S_ISLNK(info.st_mode) ? " is a symbolic link" : " is not a folder");
        at = at.Child(parts[i], false);
    }
    return CannotWriteBelow(folder, path, error);
}

} // namespace

std::vector<std::string> WriteHiddenFiles(CarrierSession& session,
                                          const std::vector<HiddenEntry>& entries,
                                          const std::string& folder, bool replace) {
    std::vector<std::string> names;
    for (const HiddenEntry& entry : entries)
        names.push_back(entry.name);
    const std::vector<std::string> targets = UniqueOutputNames(names);
    for (size_t i = 0; i < entries.size(); ++i) {
        if (targets[i].empty())
            throw Failure("refusing to write the hidden file \"" + entries[i].name +
                          "\": its name points outside the target folder");
    }

    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    FolderHandle root = FolderHandle::Open(folder);
    if (!root)
        throw Failure("cannot write " + folder + ": " + std::strerror(root.Error()));
    if (!replace) {
        for (const std::string& target : targets) {
            if (ExistsBelow(root, target))
                throw Failure(AlreadyExists(folder + "/" + target));
        }
    }

    std::vector<std::string> written;
    for (size_t i = 0; i < entries.size(); ++i) {
        StopIfInterrupted();
        std::string fileName;
        FolderHandle parent = root.ParentOfEntry(targets[i], true, fileName);
        if (!parent)
            throw Failure(BlockedBelow(root, folder, targets[i], parent.Error()));
        AtomicFile out(parent, fileName);
        if (!out.Open())
            throw Failure(CannotWriteBelow(folder, targets[i], errno));
        ThrowIfFailed(session.ExtractToDescriptor(entries[i].index, out.Fd()));
        if (!out.Commit(replace ? Replace::Always : Replace::Never)) {
            if (errno == EEXIST)
                throw Failure(AlreadyExists(folder + "/" + targets[i]));
            throw Failure(CannotWriteBelow(folder, targets[i], errno));
        }
        const std::string path = folder + "/" + targets[i];
        if (targets[i] != entries[i].name)
            Note("another hidden file is named " + entries[i].name + "; this one was written as " +
                 targets[i]);
        ReportWritten(path);
        written.push_back(JsonObject().String("name", entries[i].name).String("path", path).Text());
    }
    return written;
}

} // namespace lumora::cli
