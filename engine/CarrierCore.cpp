// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/CarrierCore.h"

#include "archive/EntryName.h"
#include "archive/Unzipper.h"
#include "engine/EntryStatus.h"
#include "engine/StreamFile.h"
#include "platform/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

namespace lumora {

Status LockStatusOf(LockStatus locked, const FileLock& lock, const std::string& path) {
    switch (locked) {
    case LockStatus::Locked:
        return Status::Success();
    case LockStatus::Busy:
        return Status::Fail(Reason::Busy, path);
    case LockStatus::Failed:
        break;
    }
    return Status::Fail(Reason::ReadFailed, path, lock.Error());
}

Status PlacingFailure(const std::string& path, int error) {
    struct stat existing {};
    const bool present = ::lstat(path.c_str(), &existing) == 0;
    if (error == ELOOP)
        return Status::Fail(Reason::DestinationIsLink, path, error);
    if (error == EISDIR)
        return Status::Fail(Reason::DestinationIsFolder, path, error);
    if (error == EEXIST && present && !S_ISREG(existing.st_mode))
        return Status::Fail(Reason::DestinationNotRegular, path, error);
    if (error == EEXIST)
        return Status::Fail(Reason::DestinationExists, path, error);
    return Status::WriteFailure(path, error);
}

Status NoSuchEntry(int entry) {
    Status status = Status::Fail(Reason::NoSuchEntry);
    status.count = entry;
    return status;
}

CarrierCore::CarrierCore(std::string carrierPath)
    : path(std::move(carrierPath)), engine(std::make_unique<CBindImage>()) {}

CarrierCore::~CarrierCore() = default;

Status CarrierCore::Open() {
    unlocked = false;
    format.reset();
    entries.clear();
    proof.Reset();
    // What the file shows without a password is read from it alone: a missing working
    // folder fails only the steps that write there (NoWorkFolder, OperationReport).
    identity = IdentityOf(path);
    if (engine->OpenCarrier(path, OPEN_INSPECT) != 1 && !engine->LastStatus().Ok())
        return engine->LastStatus();
    InspectOpenedPicture();
    return Status::Success();
}

void CarrierCore::InspectOpenedPicture() {
    picture = PictureLayout();
    if (FILE* file = engine->CarrierFile(); file != nullptr)
        picture = InspectPicture(DescriptorSource(::fileno(file)));
}

bool CarrierCore::MayHoldSealedData() const {
    return DataToTryIn(*this) == DataToTry::Sealed;
}

bool CarrierCore::MayHoldWovenData() const {
    return DataToTryIn(*this) == DataToTry::Woven;
}

void CarrierCore::SetObserver(CProgressObserver* progress) {
    observer = progress;
    engine->SetProgressObserver(progress);
}

bool CarrierCore::Report(ProgressStep step, int64_t done, int64_t total) const {
    return observer == nullptr || observer->OnProgress(step, done, total);
}

Status CarrierCore::EngineStatus() const {
    const Status& status = engine->LastStatus();
    return status.Ok() ? Status::Fail(Reason::Damaged) : status;
}

Status CarrierCore::OpenPayload(CUnzipper& archive) const {
    if (!engine->OpenPayloadArchive(archive))
        return Status::Fail(Reason::Damaged);
    archive.SetPassword(engine->CurrentPassword());
    archive.SetThreads(engine->WorkerThreads());
    archive.SetCipherCheckpoints(checkpoints);
    return Status::Success();
}

Status CarrierCore::LoadEntries() {
    entries.clear();
    messageLength = 0;
    CUnzipper archive;
    if (!engine->OpenPayloadArchive(archive))
        return Status::Fail(Reason::Damaged);
    std::vector<int> slotOfEntry;
    FileSlot slot;
    for (int k = engine->FirstFileSlot(slot); k >= 0; k = engine->NextFileSlot(slot, k)) {
        if (slot.state != SLOT_STORED || slot.entryIndex < 0)
            continue;
        if (slot.entryIndex >= static_cast<int>(slotOfEntry.size()))
            slotOfEntry.resize(static_cast<size_t>(slot.entryIndex) + 1, -1);
        slotOfEntry[static_cast<size_t>(slot.entryIndex)] = k;
    }
    const int messageEntry = engine->MessageEntryIndex();
    const std::optional<std::string>& message = engine->Message();
    const int count = archive.EntryCount();
    for (int i = 0; i < count; ++i) {
        ZipEntryInfo info;
        if (!archive.EntryInfoAt(i, info))
            return Status::Fail(Reason::Damaged);
        // A message too large to be read counts by its entry, less the closing NUL.
        if (i == messageEntry)
            messageLength = message ? static_cast<int64_t>(message->size())
                                    : std::max<int64_t>(info.uncompressedSize - 1, 0);
        // Every entry of the message's name is the message or one it replaced, never a file.
        if (i == messageEntry || info.storedName == kMessageEntryName || info.isFolder)
            continue;
        HiddenEntry entry;
        entry.index = i;
        entry.name = info.name;
        entry.size = info.uncompressedSize;
        entry.slot = i < static_cast<int>(slotOfEntry.size()) ? slotOfEntry[i] : -1;
        entry.writable = IsSafeEntryName(info.name);
        entry.modifiedTime = info.modifiedTime;
        entry.damaged = proof.IsDamaged(i);
        entries.push_back(std::move(entry));
    }
    return Status::Success();
}

const HiddenEntry* CarrierCore::FindEntry(int entry) const {
    const auto found = std::find_if(entries.begin(), entries.end(),
                                    [entry](const HiddenEntry& e) { return e.index == entry; });
    return found != entries.end() ? &*found : nullptr;
}

Status CarrierCore::CompleteProof() {
    if (!proof.NeedsProof())
        return Status::Success();
    const int pending = proof.TakePending();
    CUnzipper archive;
    Status proved = OpenPayload(archive);
    if (proved.Ok())
        proved = proof.Prove(archive, engine->MessageEntryIndex(), ProofTiming::AtUnlock,
                             [this](int64_t done, int64_t total) {
                                 return Report(ProgressStep::Checking, done, total);
                             });
    if (proved.Outcome() == Outcome::Cancelled)
        proof.RestorePending(pending);
    else if (!proved.Ok())
        Relock();
    else
        MarkDamagedEntries();
    return proved;
}

Status CarrierCore::VerifyAll(int& checked) {
    checked = 0;
    if (!unlocked)
        return Status::Fail(Reason::NotUnlocked);
    if (Status proved = CompleteProof(); !proved.Ok())
        return proved;
    CUnzipper archive;
    if (Status opened = OpenPayload(archive); !opened.Ok())
        return opened;
    // Every entry is checked, side by side on the workers; a failure names the first in order.
    const int count = archive.EntryCount();
    int64_t total = 0;
    int fileCount = 0;
    std::vector<int> files;
    std::vector<std::string> names(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        ZipEntryInfo info;
        if (!archive.EntryInfoAt(i, info))
            return Status::Fail(Reason::Damaged);
        names[static_cast<size_t>(i)] = info.name;
        if (info.isFolder)
            continue;
        ++fileCount;
        // Unlocking checked this one whole, in the working copy that nothing else writes.
        if (i == proof.Proven())
            continue;
        total += info.uncompressedSize;
        files.push_back(i);
    }
    archive.SetProgress([this, total](uint64_t bytes) {
        return Report(ProgressStep::Checking, static_cast<int64_t>(bytes), total);
    });
    // Every entry is read to its end, so that all the damaged ones are known.
    std::vector<EntryCheck> checks(files.size(), EntryCheck::Ok);
    const EntryCheck batch = archive.ReadEntries(
        files,
        [](size_t, bool, CUnzipper::Sink& sink) {
            sink = [](const uint8_t*, size_t) { return true; };
            return CUnzipper::Begin::Now;
        },
        [&checks](size_t at, EntryCheck check) {
            checks[at] = check;
            return check != EntryCheck::Cancelled;
        });
    if (batch == EntryCheck::Cancelled)
        return EntryStatus(batch, {});
    Status result = Status::Success();
    for (size_t at = 0; at < files.size(); ++at) {
        if (checks[at] == EntryCheck::Ok)
            continue;
        // The password passed the others: any check that fails is damage.
        const EntryCheck check =
            checks[at] == EntryCheck::WrongPassword ? EntryCheck::Damaged : checks[at];
        if (check == EntryCheck::Damaged)
            proof.MarkDamaged(files[at]);
        if (result.Ok())
            result = EntryStatus(check, names[static_cast<size_t>(files[at])]);
    }
    MarkDamagedEntries();
    if (result.Ok())
        checked = fileCount;
    return result;
}

void CarrierCore::MarkDamagedEntries() {
    for (HiddenEntry& entry : entries)
        entry.damaged = proof.IsDamaged(entry.index);
}

void CarrierCore::Relock() {
    unlocked = false;
    static_cast<void>(proof.TakePending());
    engine->SetPassword(std::nullopt);
}

Status CarrierCore::Lock() {
    if (lock != nullptr)
        return Status::Success();
    auto made = std::make_unique<FileLock>();
    Status status = LockStatusOf(made->Lock(path), *made, path);
    if (status.Ok())
        lock = std::move(made);
    return status;
}

Status CarrierCore::SaveImagePart(const std::string& destination, bool replace) {
    if (unlocked && format != nullptr && format->Format() == CarrierFormat::Woven)
        return Status::Fail(Reason::WovenImagePartLost, path);
    AtomicFile out(destination);
    if (!out.Open())
        return PlacingFailure(destination, errno);
    if (engine->WriteImagePart(out.Stream()) != 1)
        return EngineStatus();
    if (!out.Commit(replace ? Replace::Always : Replace::Never))
        return PlacingFailure(destination, errno);
    return Status::Success();
}

} // namespace lumora
