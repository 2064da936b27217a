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
#include <exception>
#include <fcntl.h>
#include <filesystem>
#include <functional>
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

    // The files are written side by side and put in place in order; a failure stops at
    // the first position in that order, with the files before it in place.
    std::vector<int> indices;
    for (const HiddenEntry& entry : entries)
        indices.push_back(entry.index);
    std::vector<std::unique_ptr<AtomicFile>> outs(entries.size());
    std::vector<std::exception_ptr> failures(entries.size());
    const Status stopped = Status::Fail(Outcome::Refused, "stopped by the program");
    const auto guarded = [&](size_t i, const std::function<void()>& step) {
        try {
            step();
            return Status::Success();
        } catch (...) {
            failures[i] = std::current_exception();
            return stopped;
        }
    };
    const auto open = [&](size_t i, bool inTurn, int& fd) {
        return guarded(i, [&] {
            StopIfInterrupted();
            // A file's folders are made in its turn only: a failure before it leaves none.
            std::string fileName;
            FolderHandle parent = root.ParentOfEntry(targets[i], inTurn, fileName);
            if (!parent && !inTurn)
                return;
            if (!parent)
                throw Failure(BlockedBelow(root, folder, targets[i], parent.Error()));
            outs[i] = std::make_unique<AtomicFile>(parent, fileName);
            if (!outs[i]->Open())
                throw Failure(CannotWriteBelow(folder, targets[i], errno));
            fd = outs[i]->Fd();
        });
    };
    std::vector<std::string> written;
    const auto finish = [&](size_t i) {
        return guarded(i, [&] {
            const bool committed = outs[i]->Commit(replace ? Replace::Always : Replace::Never);
            outs[i].reset();
            if (!committed) {
                if (errno == EEXIST)
                    throw Failure(AlreadyExists(folder + "/" + targets[i]));
                throw Failure(CannotWriteBelow(folder, targets[i], errno));
            }
            const std::string path = folder + "/" + targets[i];
            if (targets[i] != entries[i].name)
                Note("another hidden file is named " + entries[i].name +
                     "; this one was written as " + targets[i]);
            ReportWritten(path);
            written.push_back(
                JsonObject().String("name", entries[i].name).String("path", path).Text());
        });
    };
    const Status status = session.ExtractEntries(indices, open, finish);
    if (status.outcome == stopped.outcome && status.reason == stopped.reason) {
        for (const std::exception_ptr& failure : failures) {
            if (failure)
                std::rethrow_exception(failure);
        }
    }
    ThrowIfFailed(status);
    return written;
}

} // namespace lumora::cli
