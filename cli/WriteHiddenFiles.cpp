// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/WriteHiddenFiles.h"

#include "archive/EntryName.h"
#include "cli/Carrier.h"
#include "cli/CliError.h"
#include "cli/FileErrors.h"
#include "cli/Interrupt.h"
#include "cli/Json.h"
#include "cli/ReasonText.h"
#include "cli/Report.h"
#include "engine/OutputNames.h"
#include "platform/AtomicFile.h"
#include "platform/FolderHandle.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <sys/stat.h>

namespace lumora::cli {
namespace {

bool ExistsBelow(const FolderHandle& root, const std::string& path) {
    std::string name;
    FolderHandle parent = root.ParentOfEntry(path, false, name);
    struct stat info {};
    return parent && ::fstatat(parent.Fd(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

// Why the folders of `path` below `root` cannot be walked: the first one on the way that
// is a symbolic link or no folder, else the system's reason.
Status BlockedBelow(const FolderHandle& root, const std::string& folder, const std::string& path,
                    int error) {
    const std::vector<std::string> parts = EntryNameParts(path);
    FolderHandle at = root.Duplicate();
    std::string walked = folder;
    for (size_t i = 0; i + 1 < parts.size() && at; ++i) {
        walked += "/" + parts[i];
        struct stat info {};
        if (::fstatat(at.Fd(), parts[i].c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            !S_ISDIR(info.st_mode))
            return Status::Fail(
                S_ISLNK(info.st_mode) ? Reason::DestinationIsLink : Reason::NotAFolder, walked);
        at = at.Child(parts[i], false);
    }
    return Status::WriteFailure(folder + "/" + path, error);
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
            throw ErrorOf(Status::Fail(Reason::NameNotWritable, entries[i].name));
    }

    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    FolderHandle root = FolderHandle::Open(folder);
    if (!root)
        throw ErrorOf(Status::WriteFailure(folder, root.Error()));
    if (!replace) {
        for (const std::string& target : targets) {
            if (ExistsBelow(root, target))
                throw AlreadyExists(folder + "/" + target);
        }
    }

    // The files are written side by side and put in place in order; a failure stops at
    // the first position in that order, with the files before it in place.
    std::vector<int> indices;
    for (const HiddenEntry& entry : entries)
        indices.push_back(entry.index);
    std::vector<std::unique_ptr<AtomicFile>> outs(entries.size());
    const auto open = [&](size_t i, bool inTurn, int& fd) {
        if (PendingSignal() != 0)
            return Status::Fail(Reason::Cancelled);
        // A file's folders are made in its turn only: a failure before it leaves none.
        std::string fileName;
        FolderHandle parent = root.ParentOfEntry(targets[i], inTurn, fileName);
        if (!parent && !inTurn)
            return Status::Success();
        if (!parent)
            return BlockedBelow(root, folder, targets[i], parent.Error());
        outs[i] = std::make_unique<AtomicFile>(parent, fileName);
        if (!outs[i]->Open())
            return Status::WriteFailure(folder + "/" + targets[i], errno);
        fd = outs[i]->Fd();
        return Status::Success();
    };
    std::vector<std::string> written;
    const auto finish = [&](size_t i) {
        const std::string path = folder + "/" + targets[i];
        const bool committed = outs[i]->Commit(replace ? Replace::Always : Replace::Never);
        const int error = errno;
        outs[i].reset();
        if (!committed)
            return error == EEXIST ? Status::Fail(Reason::DestinationExists, path)
                                   : Status::WriteFailure(path, error);
        if (targets[i] != entries[i].name)
            Note("another hidden file is named " + entries[i].name + "; this one was written as " +
                 targets[i]);
        ReportWritten(path);
        written.push_back(JsonObject().String("name", entries[i].name).String("path", path).Text());
        return Status::Success();
    };
    ThrowIfFailed(session.ExtractEntries(indices, open, finish));
    return written;
}

} // namespace lumora::cli
