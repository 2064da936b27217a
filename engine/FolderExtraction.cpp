// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/FolderExtraction.h"

#include "archive/EntryName.h"
#include "engine/OutputNames.h"
#include "engine/UnlockedCarrier.h"
#include "platform/AtomicFile.h"
#include "platform/FolderHandle.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <sys/stat.h>

namespace lumora {
namespace {

bool ExistsBelow(const FolderHandle& root, const std::string& target) {
    std::string name;
    FolderHandle parent = root.ParentOfEntry(target, false, name);
    struct stat info {};
    return parent && ::fstatat(parent.Fd(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

// Why the folders of target below root cannot be walked: the first one on the way that is
// a symbolic link or no folder, else the system's reason.
Status BlockedBelow(const FolderHandle& root, const std::string& folder, const std::string& target,
                    int error) {
    const std::vector<std::string> parts = EntryNameParts(target);
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
    return Status::WriteFailure(folder + "/" + target, error);
}

} // namespace

Status TargetsByName(const std::vector<HiddenEntry>& entries, std::vector<std::string>& targets) {
    std::vector<std::string> names;
    for (const HiddenEntry& entry : entries)
        names.push_back(entry.name);
    targets = UniqueOutputNames(names);
    for (size_t i = 0; i < entries.size(); ++i) {
        if (targets[i].empty())
            return Status::Fail(Reason::NameNotWritable, entries[i].name);
    }
    return Status::Success();
}

bool ExistsBelow(const std::string& folder, const std::string& target) {
    const FolderHandle root = FolderHandle::Open(folder);
    return root && ExistsBelow(root, target);
}

Status ExtractToFolder(UnlockedCarrier& carrier, const FolderOutput& output) {
    const std::string& folder = output.folder;
    const std::vector<std::string>& targets = output.targets;
    if (targets.size() != output.entries.size())
        return Status::Fail(Reason::NoDestination);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    FolderHandle root = FolderHandle::Open(folder);
    if (!root)
        return Status::WriteFailure(folder, root.Error());
    if (!output.replace) {
        for (const std::string& target : targets) {
            if (ExistsBelow(root, target))
                return Status::Fail(Reason::DestinationExists, folder + "/" + target);
        }
    }

    std::vector<std::unique_ptr<AtomicFile>> outs(targets.size());
    const auto open = [&](size_t i, bool inTurn, int& fd) {
        if (output.stopped && output.stopped())
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
    const auto finish = [&](size_t i) {
        const std::string path = folder + "/" + targets[i];
        const bool committed = outs[i]->Commit(output.replace ? Replace::Always : Replace::Never);
        const int error = errno;
        outs[i].reset();
        if (!committed)
            return error == EEXIST ? Status::Fail(Reason::DestinationExists, path)
                                   : Status::WriteFailure(path, error);
        if (output.placed)
            output.placed(i, path);
        return Status::Success();
    };
    return carrier.ExtractEntries(output.entries, open, finish,
                                  output.skipDamaged ? UnlockedCarrier::OnDamage::Skip
                                                     : UnlockedCarrier::OnDamage::Stop);
}

} // namespace lumora
