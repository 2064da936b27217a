// SPDX-License-Identifier: GPL-2.0-or-later
// The extractions of an unlocked carrier: every one runs through ExtractEntries, which
// reads entries side by side and proves a password whose proof waits for the first read.
#include "archive/EntryName.h"
#include "archive/Unzipper.h"
#include "engine/CarrierCore.h"
#include "engine/EntryStatus.h"
#include "engine/FolderExtraction.h"
#include "engine/UnlockedCarrier.h"
#include "platform/AtomicFile.h"
#include "platform/DescriptorIo.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace lumora {

Status UnlockedCarrier::ExtractToWorkFolder(int entry, std::string& path) {
    const CBindImage& engine = *Core().engine;
    const HiddenEntry* found = Core().FindEntry(entry);
    if (found == nullptr)
        return NoSuchEntry(entry);
    std::string folder = engine.WorkDir() + "/FILES/" + std::to_string(entry);
    std::vector<std::string> parts = EntryNameParts(found->name);
    if (parts.empty())
        return Status::Fail(Reason::NameNotWritable, found->name);
    for (const std::string& made : {engine.WorkDir() + "/FILES", folder}) {
        if (::mkdir(made.c_str(), 0700) != 0 && errno != EEXIST)
            return Status::WriteFailure(made, errno);
    }
    path = folder + "/" + parts.back();
    return ExtractToFile(entry, path, true);
}

Status UnlockedCarrier::ExtractToFile(int entry, const std::string& path, bool replace) {
    return ExtractToFiles({entry}, {path}, replace);
}

Status UnlockedCarrier::ExtractToFiles(const std::vector<int>& entries,
                                       const std::vector<std::string>& paths, bool replace) {
    if (paths.size() != entries.size())
        return Status::Fail(Reason::NoDestination);
    const std::vector<std::optional<int64_t>> times = ModifiedTimesOf(*this, entries);
    std::vector<std::unique_ptr<AtomicFile>> outs(entries.size());
    const auto open = [&](size_t at, bool, int& fd) {
        outs[at] = std::make_unique<AtomicFile>(paths[at]);
        outs[at]->SetNewFileMode(kHiddenFileMode);
        if (!outs[at]->Open())
            return PlacingFailure(paths[at], errno);
        fd = outs[at]->Fd();
        return Status::Success();
    };
    const auto finish = [&](size_t at) {
        RestoreModifiedTime(outs[at]->Fd(), times[at]);
        const bool committed = outs[at]->Commit(replace ? Replace::Always : Replace::Never);
        const int error = errno;
        outs[at].reset();
        return committed ? Status::Success() : PlacingFailure(paths[at], error);
    };
    return ExtractEntries(entries, open, finish);
}

Status UnlockedCarrier::ExtractToDescriptor(int entry, int fd) {
    return ExtractEntries(
        {entry},
        [fd](size_t, bool, int& out) {
            out = fd;
            return Status::Success();
        },
        [](size_t) { return Status::Success(); });
}

Status UnlockedCarrier::ExtractEntries(const std::vector<int>& entries, const OpenOutput& open,
                                       const FinishOutput& finish, OnDamage onDamage) {
    CarrierCore& core = Core();
    if (!core.unlocked)
        return Status::Fail(Reason::NotUnlocked);
    // Proved at once unless this batch reads the entry that proves it.
    if (std::find(entries.begin(), entries.end(), core.proof.Pending()) == entries.end()) {
        Status proved = core.CompleteProof();
        if (!proved.Ok())
            return proved;
    }
    CUnzipper archive;
    Status result = core.OpenPayload(archive);
    if (!result.Ok())
        return result;
    std::vector<const HiddenEntry*> found;
    int64_t total = 0;
    for (int entry : entries) {
        found.push_back(core.FindEntry(entry));
        if (found.back() == nullptr)
            return NoSuchEntry(entry);
        total += found.back()->size;
    }
    // Written by the sink on a worker, read here once the position's entry is read.
    std::vector<int> writeErrors(entries.size(), 0);
    std::vector<int> fds(entries.size(), -1);
    Status openFailure;
    bool disproved = false;
    const auto begin = [&](size_t at, bool inTurn, CUnzipper::Sink& sink) {
        openFailure = open(at, inTurn, fds[at]);
        if (!openFailure.Ok())
            return CUnzipper::Begin::Stop;
        if (fds[at] < 0 && !inTurn)
            return CUnzipper::Begin::Later;
        if (fds[at] < 0) {
            openFailure = Status::Fail(Reason::NoDestination, found[at]->name, EBADF);
            return CUnzipper::Begin::Stop;
        }
        sink = [fd = fds[at], &error = writeErrors[at],
                left = found[at]->size](const uint8_t* data, size_t length) mutable {
            if (!WriteAll(fd, data, length)) {
                error = errno;
                return false;
            }
            left -= static_cast<int64_t>(length);
            // The last bytes reach the disk here, on the worker: the caller's own sync then
            // finds nothing left to write. Not every descriptor can be synced (a pipe).
            if (left == 0 && ::fdatasync(fd) != 0 && errno != EINVAL && errno != EROFS)
                error = errno;
            return error == 0;
        };
        return CUnzipper::Begin::Now;
    };
    bool reprove = false;
    Status skipped = Status::Success();
    const auto end = [&](size_t at, EntryCheck check) {
        const int error = writeErrors[at];
        const bool proving = found[at]->index == core.proof.Pending();
        const bool failedRead = check == EntryCheck::WrongPassword || check == EntryCheck::Damaged;
        if (error != 0) {
            result = Status::WriteFailure(found[at]->name, error);
        } else if (proving && failedRead) {
            // Damage when the check bytes told the password right; another entry proves it.
            reprove = core.proof.PendingFailed();
            disproved = !reprove;
            result = reprove ? Status::Fail(Reason::EntryDamaged, found[at]->name)
                             : core.proof.Failure(found[at]->name);
        } else {
            // Any other failed check byte is damage: the password passed the others.
            result = EntryStatus(check == EntryCheck::WrongPassword ? EntryCheck::Damaged : check,
                                 found[at]->name);
        }
        if (proving && error == 0 && check == EntryCheck::Ok)
            core.proof.Passed();
        if (result.Outcome() == Outcome::Damaged && !disproved) {
            core.proof.MarkDamaged(found[at]->index);
            if (onDamage == OnDamage::Skip) {
                if (skipped.Ok())
                    skipped = result;
                result = Status::Success();
                return true;
            }
        }
        if (result.Ok())
            result = finish(at);
        return result.Ok();
    };
    archive.SetProgress([&core, total](uint64_t bytes) {
        return core.Report(ProgressStep::Unpacking, static_cast<int64_t>(bytes), total);
    });
    const EntryCheck batch = archive.ReadEntries(entries, begin, end);
    // Only once no worker reads with the password any more.
    if (disproved)
        core.Relock();
    core.MarkDamagedEntries();
    if (batch == EntryCheck::Cancelled)
        return EntryStatus(EntryCheck::Cancelled, {});
    if (reprove) {
        if (Status proved = core.CompleteProof(); !proved.Ok())
            return proved;
    }
    if (!result.Ok())
        return result;
    return openFailure.Ok() ? skipped : openFailure;
}

} // namespace lumora
