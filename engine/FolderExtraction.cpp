// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/FolderExtraction.h"

#include "archive/EntryName.h"
#include "engine/OutputNames.h"
#include "engine/UnlockedCarrier.h"
#include "platform/AtomicFile.h"
#include "platform/FolderHandle.h"

#include <algorithm>
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

// mkdir -p with kHiddenFolderMode for the folders it makes; false with errno.
bool MakePrivateFolders(const std::string& folder) {
    std::error_code ec;
    if (std::filesystem::is_directory(folder, ec))
        return true;
    const std::filesystem::path path(folder);
    if (path.has_parent_path() && path.parent_path() != path &&
        !MakePrivateFolders(path.parent_path().string()))
        return false;
    return ::mkdir(folder.c_str(), kHiddenFolderMode) == 0 || errno == EEXIST;
}

} // namespace

void RestoreModifiedTime(int fd, const std::optional<int64_t>& modifiedTime) {
    if (!modifiedTime)
        return;
    const struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(*modifiedTime), 0}};
    static_cast<void>(::futimens(fd, times)); // best effort, as the header says
}

std::vector<std::optional<int64_t>> ModifiedTimesOf(const UnlockedCarrier& carrier,
                                                    const std::vector<int>& entries) {
    std::vector<std::optional<int64_t>> times;
    const std::vector<HiddenEntry>& all = carrier.Entries();
    for (int index : entries) {
        const auto found = std::find_if(all.begin(), all.end(),
                                        [index](const HiddenEntry& e) { return e.index == index; });
        times.push_back(found != all.end() ? found->modifiedTime : std::nullopt);
    }
    return times;
}

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
    if (!MakePrivateFolders(folder))
        return Status::WriteFailure(folder, errno);
    FolderHandle root = FolderHandle::Open(folder);
    if (!root)
        return Status::WriteFailure(folder, root.Error());
    if (!output.replace) {
        for (const std::string& target : targets) {
            if (ExistsBelow(root, target))
                return Status::Fail(Reason::DestinationExists, folder + "/" + target);
        }
    }

    const std::vector<std::optional<int64_t>> times = ModifiedTimesOf(carrier, output.entries);
    std::vector<std::unique_ptr<AtomicFile>> outs(targets.size());
    const auto open = [&](size_t i, bool inTurn, int& fd) {
        if (output.stopped && output.stopped())
            return Status::Fail(Reason::Cancelled);
        // A file's folders are made in its turn only: a failure before it leaves none.
        std::string fileName;
        FolderHandle parent = root.ParentOfEntry(targets[i], inTurn, fileName, kHiddenFolderMode);
        if (!parent && !inTurn)
            return Status::Success();
        if (!parent)
            return BlockedBelow(root, folder, targets[i], parent.Error());
        outs[i] = std::make_unique<AtomicFile>(parent, fileName);
        outs[i]->SetNewFileMode(kHiddenFileMode);
        if (!outs[i]->Open())
            return Status::WriteFailure(folder + "/" + targets[i], errno);
        fd = outs[i]->Fd();
        return Status::Success();
    };
    const auto finish = [&](size_t i) {
        const std::string path = folder + "/" + targets[i];
        RestoreModifiedTime(outs[i]->Fd(), times[i]);
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
