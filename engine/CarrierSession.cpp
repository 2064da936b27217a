// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/CarrierSession.h"

#include "archive/EntryName.h"
#include "archive/Unzipper.h"
#include "engine/EntryStatus.h"
#include "engine/MessageEntry.h"
#include "engine/MessageForm.h"
#include "engine/StreamFile.h"
#include "platform/AtomicFile.h"
#include "platform/DescriptorIo.h"
#include "platform/FileLock.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace lumora {
namespace {

// Reports every step of the engine beneath as one step of the caller's.
class StepRelay : public CProgressObserver {
public:
    StepRelay(CProgressObserver* target, ProgressStep step) : m_target(target), m_step(step) {}
    bool OnProgress(ProgressStep, int64_t done, int64_t total) override {
        return m_target == nullptr || m_target->OnProgress(m_step, done, total);
    }

private:
    CProgressObserver* m_target;
    ProgressStep m_step;
};

// The path a save replaces: the file behind a link the carrier was opened through, so
// that saving in place keeps the link; any other path as given.
std::string SaveTarget(const std::string& destination, const std::string& opened) {
    if (destination != opened)
        return destination;
    char resolved[PATH_MAX];
    return ::realpath(opened.c_str(), resolved) != nullptr ? std::string(resolved) : destination;
}

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

// No entry (or slot) `entry` among those the session lists.
Status NoSuchEntry(int entry) {
    Status status = Status::Fail(Reason::NoSuchEntry);
    status.count = entry;
    return status;
}

// Why a new file could not be made or put at path, from the errno of AtomicFile's Open or
// Commit.
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

} // namespace

CarrierSession::CarrierSession(std::string path)
    : m_path(std::move(path)), m_engine(std::make_unique<CBindImage>()) {}

CarrierSession::~CarrierSession() = default;

Status CarrierSession::EngineStatus() const {
    const Status& status = m_engine->LastStatus();
    return status.Ok() ? Status::Fail(Reason::Damaged) : status;
}

bool CarrierSession::Report(ProgressStep step, int64_t done, int64_t total) {
    return m_observer == nullptr || m_observer->OnProgress(step, done, total);
}

void CarrierSession::SetProgressObserver(CProgressObserver* observer) {
    m_observer = observer;
    m_engine->SetProgressObserver(observer);
}

Status CarrierSession::Open() {
    m_unlocked = false;
    m_provenEntry = -1;
    m_pendingProof = -1;
    m_entries.clear();
    m_format = CarrierFormat::Classic;
    if (!m_engine->WorkFolderError().empty())
        return Status::Fail(Reason::NoWorkFolder, m_engine->WorkFolderError());
    m_identity = IdentityOf(m_path);
    if (m_engine->OpenCarrier(m_path, OPEN_INSPECT) != 1 && !m_engine->LastStatus().Ok())
        return m_engine->LastStatus();
    return Status::Success();
}

bool CarrierSession::HasData() const {
    const CarrierTrailer& trailer = m_engine->Trailer();
    return m_engine->HasValidTrailer() == 1 && trailer.payloadLength > 0 && trailer.imageLength > 0;
}

bool CarrierSession::MayHoldSealedData() const {
    FILE* file = m_engine->CarrierFile();
    return !HasData() && file != nullptr && SealedSizeFits(StreamSize(file));
}

CarrierTrailer CarrierSession::Summary() const {
    if (!m_unlocked || m_format != CarrierFormat::Sealed)
        return Trailer();
    const auto clamped = [](int64_t value) {
        return static_cast<int32_t>(std::clamp<int64_t>(value, 0, kMaxCarrierSize));
    };
    CarrierTrailer summary{};
    summary.imageLength = clamped(static_cast<int64_t>(m_sealedHeader.imageLength));
    summary.payloadLength =
        clamped(static_cast<int64_t>(m_sealedHeader.payloadLength) + kSealedTailSize);
    summary.messageLength = clamped(m_messageLength);
    int64_t filesSize = 0;
    for (const HiddenEntry& entry : m_entries)
        filesSize += entry.size;
    summary.fileCount = clamped(static_cast<int64_t>(m_entries.size()));
    summary.filesTotalSize = clamped(filesSize);
    return summary;
}

Status CarrierSession::Lock() {
    if (m_lock != nullptr)
        return Status::Success();
    auto lock = std::make_unique<FileLock>();
    Status status = LockStatusOf(lock->Lock(m_path), *lock, m_path);
    if (status.Ok())
        m_lock = std::move(lock);
    return status;
}

Status CarrierSession::Unlock(Password password, ProofTiming timing) {
    m_unlocked = false;
    m_provenEntry = -1;
    m_pendingProof = -1;
    m_entries.clear();
    if (HasData())
        return UnlockClassic(std::move(password), timing);
    if (MayHoldSealedData())
        return UnlockSealed(std::move(password), nullptr);
    return Status::Fail(Reason::NoData, m_path);
}

Status CarrierSession::UnlockClassic(Password password, ProofTiming timing) {
    if (m_engine->VerifyPassword(password) != 1)
        return Status::Fail(Reason::WrongPassword);
    m_engine->SetPassword(std::move(password));
    if (m_engine->UnpackPayload() != 1) {
        Status status = EngineStatus();
        m_engine->SetPassword(std::nullopt);
        return status;
    }
    Status proved = ProvePassword(timing);
    if (proved.Ok())
        proved = LoadEntries();
    if (!proved.Ok()) {
        m_engine->SetPassword(std::nullopt);
        return proved;
    }
    m_format = CarrierFormat::Classic;
    m_unlocked = true;
    return Status::Success();
}

Status CarrierSession::UnlockSealed(Password password, const SealedKey* key) {
    FILE* file = m_engine->CarrierFile();
    if (file == nullptr)
        return Status::Fail(Reason::NoData, m_path);
    SealedHeader header;
    Status status =
        UnsealCarrier(::fileno(file), StreamSize(file), password, key, m_engine->PayloadTempPath(),
                      header, [this](ProgressStep step, int64_t done, int64_t total) {
                          return Report(step, done, total);
                      });
    if (status.subject.empty() &&
        (status.Outcome() == Outcome::NoData || status.Outcome() == Outcome::ReadFailed))
        status.subject = m_path;
    if (!status.Ok())
        return status;
    // The entries are not enciphered; the password stays for saves under it.
    m_engine->SetPassword(std::move(password));
    if (m_engine->ReadPayloadArchive() != 1)
        status = EngineStatus();
    else
        status = LoadEntries();
    if (!status.Ok()) {
        m_engine->SetPassword(std::nullopt);
        return status;
    }
    m_engine->CutImagePart(static_cast<int64_t>(header.imageLength));
    m_sealedHeader = header;
    m_format = CarrierFormat::Sealed;
    m_unlocked = true;
    return Status::Success();
}

void CarrierSession::CutOpenedSealedData(const SealedKey& key) {
    FILE* file = m_engine->CarrierFile();
    SealedHeader header;
    if (file != nullptr &&
        ReadSealedTail(::fileno(file), StreamSize(file), key, header) == SealedOutcome::Ok)
        m_engine->CutImagePart(static_cast<int64_t>(header.imageLength));
}

// The key is made of at most the first 32 bytes of the password (up to a NUL), while the
// archive's entries are enciphered under all of it. The signature proves the key only: a
// longer password with the same start gives the same key. The entries prove the rest: the
// check byte of every encrypted entry, then the CRC of the smallest entry that holds data,
// inflated as a stream and never past its declared size.
//
// A wrong password passes a check byte one time in 256, the right one fails it only where
// the entry is damaged. So when most check bytes fail (a tie included) the password is
// wrong; when most pass, the failing entries are damaged. A failing CRC means damage once
// two check bytes passed, and a wrong password while only one did.
Status CarrierSession::ProvePassword(ProofTiming timing) {
    CUnzipper archive;
    if (Status opened = OpenPayload(archive); !opened.Ok())
        return opened;
    struct Candidate {
        int index;
        uint32_t compressed;
        int64_t size;
        std::string name;
    };
    std::vector<Candidate> candidates;
    int passed = 0;
    std::vector<std::string> failed;
    const int count = archive.EntryCount();
    for (int i = 0; i < count; ++i) {
        ZipEntryInfo info;
        if (!archive.EntryInfoAt(i, info))
            return Status::Fail(Reason::Damaged);
        if (!info.encrypted || info.isFolder)
            continue;
        const EntryCheck check = archive.CheckEntryPasswordAt(i);
        if (check == EntryCheck::Unsupported)
            continue;
        if (check == EntryCheck::WrongPassword) {
            failed.push_back(info.name);
            continue;
        }
        if (check != EntryCheck::Ok)
            return EntryStatus(check, info.name);
        ++passed;
        if (info.uncompressedSize > 0)
            candidates.push_back({i, info.compressedSize, info.uncompressedSize, info.name});
    }
    if (!failed.empty()) {
        if (static_cast<size_t>(passed) <= failed.size())
            return Status::Fail(Reason::WrongPassword);
        return Status::Fail(Reason::EntryFailsPasswordCheck, failed.front());
    }
    std::stable_sort(
        candidates.begin(), candidates.end(),
        [](const Candidate& a, const Candidate& b) { return a.compressed < b.compressed; });
    m_passedChecks = passed;
    // The message is read at once anyway; a file may wait for the read that writes it out.
    if (timing == ProofTiming::AtFirstRead && !candidates.empty() &&
        candidates.front().index != m_engine->MessageEntryIndex()) {
        m_pendingProof = candidates.front().index;
        return Status::Success();
    }
    for (const Candidate& candidate : candidates) {
        archive.SetProgress([this, &candidate](uint64_t done) {
            return Report(ProgressStep::Checking, static_cast<int64_t>(done), candidate.size);
        });
        const EntryCheck check = archive.VerifyEntryAt(candidate.index);
        if (check == EntryCheck::Unsupported)
            continue;
        if (check == EntryCheck::Ok)
            m_provenEntry = candidate.index;
        if (check != EntryCheck::WrongPassword && check != EntryCheck::Damaged)
            return EntryStatus(check, candidate.name);
        return ProofFailure(candidate.name);
    }
    // Nothing holds data: only the key can be proved, and it was.
    return Status::Success();
}

Status CarrierSession::ProofFailure(const std::string& name) const {
    if (m_passedChecks >= 2)
        return Status::Fail(Reason::EntryDamaged, name);
    return Status::Fail(Reason::WrongPassword);
}

Status CarrierSession::CompleteProof() {
    const int pending = m_pendingProof;
    if (pending < 0)
        return Status::Success();
    m_pendingProof = -1;
    Status proved = ProvePassword(ProofTiming::AtUnlock);
    if (proved.Outcome() == Outcome::Cancelled)
        m_pendingProof = pending;
    else if (!proved.Ok())
        Relock();
    return proved;
}

void CarrierSession::Relock() {
    m_unlocked = false;
    m_pendingProof = -1;
    m_engine->SetPassword(std::nullopt);
}

Status CarrierSession::LoadEntries() {
    m_entries.clear();
    m_messageLength = 0;
    CUnzipper archive;
    if (!m_engine->OpenPayloadArchive(archive))
        return Status::Fail(Reason::Damaged);
    std::vector<int> slotOfEntry;
    FileSlot slot;
    for (int k = m_engine->FirstFileSlot(slot); k >= 0; k = m_engine->NextFileSlot(slot, k)) {
        if (slot.state != SLOT_STORED || slot.entryIndex < 0)
            continue;
        if (slot.entryIndex >= static_cast<int>(slotOfEntry.size()))
            slotOfEntry.resize(static_cast<size_t>(slot.entryIndex) + 1, -1);
        slotOfEntry[static_cast<size_t>(slot.entryIndex)] = k;
    }
    const int count = archive.EntryCount();
    for (int i = 0; i < count; ++i) {
        ZipEntryInfo info;
        if (!archive.EntryInfoAt(i, info))
            return Status::Fail(Reason::Damaged);
        // A message too large to be read counts by its entry, less the closing NUL.
        if (i == m_engine->MessageEntryIndex())
            m_messageLength = Message() ? static_cast<int64_t>(Message()->size())
                                        : std::max<int64_t>(info.uncompressedSize - 1, 0);
        if (i == m_engine->MessageEntryIndex() || info.isFolder)
            continue;
        HiddenEntry entry;
        entry.index = i;
        entry.name = info.name;
        entry.size = info.uncompressedSize;
        entry.slot = i < static_cast<int>(slotOfEntry.size()) ? slotOfEntry[i] : -1;
        entry.writable = IsSafeEntryName(info.name);
        m_entries.push_back(std::move(entry));
    }
    return Status::Success();
}

int CarrierSession::EntryOfSlot(int slot) const {
    for (const HiddenEntry& entry : m_entries) {
        if (entry.slot == slot)
            return entry.index;
    }
    return -1;
}

std::vector<int> CarrierSession::KeptEntriesForSlots(const std::vector<int>& slots) const {
    std::vector<int> kept;
    for (const HiddenEntry& entry : m_entries) {
        if (entry.slot < 0 || std::find(slots.begin(), slots.end(), entry.slot) != slots.end())
            kept.push_back(entry.index);
    }
    return kept;
}

Status CarrierSession::ExtractToWorkFolder(int entry, std::string& path) {
    const HiddenEntry* found = FindEntry(entry);
    if (found == nullptr)
        return NoSuchEntry(entry);
    std::string folder = m_engine->WorkDir() + "/FILES/" + std::to_string(entry);
    std::vector<std::string> parts = EntryNameParts(found->name);
    if (parts.empty())
        return Status::Fail(Reason::NameNotWritable, found->name);
    for (const std::string& made : {m_engine->WorkDir() + "/FILES", folder}) {
        if (::mkdir(made.c_str(), 0700) != 0 && errno != EEXIST)
            return Status::WriteFailure(made, errno);
    }
    path = folder + "/" + parts.back();
    return ExtractToFile(entry, path, true);
}

Status CarrierSession::ExtractToFile(int entry, const std::string& path, bool replace) {
    return ExtractToFiles({entry}, {path}, replace);
}

Status CarrierSession::ExtractToFiles(const std::vector<int>& entries,
                                      const std::vector<std::string>& paths, bool replace) {
    if (paths.size() != entries.size())
        return Status::Fail(Reason::NoDestination);
    std::vector<std::unique_ptr<AtomicFile>> outs(entries.size());
    const auto open = [&](size_t at, bool, int& fd) {
        outs[at] = std::make_unique<AtomicFile>(paths[at]);
        if (!outs[at]->Open())
            return PlacingFailure(paths[at], errno);
        fd = outs[at]->Fd();
        return Status::Success();
    };
    const auto finish = [&](size_t at) {
        const bool committed = outs[at]->Commit(replace ? Replace::Always : Replace::Never);
        const int error = errno;
        outs[at].reset();
        return committed ? Status::Success() : PlacingFailure(paths[at], error);
    };
    return ExtractEntries(entries, open, finish);
}

const HiddenEntry* CarrierSession::FindEntry(int entry) const {
    const auto found = std::find_if(m_entries.begin(), m_entries.end(),
                                    [entry](const HiddenEntry& e) { return e.index == entry; });
    return found != m_entries.end() ? &*found : nullptr;
}

Status CarrierSession::OpenPayload(CUnzipper& archive) const {
    if (!m_engine->OpenPayloadArchive(archive))
        return Status::Fail(Reason::Damaged);
    archive.SetPassword(CurrentPassword());
    archive.SetThreads(m_engine->WorkerThreads());
    archive.SetCipherCheckpoints(m_checkpoints);
    return Status::Success();
}

Status CarrierSession::ExtractToDescriptor(int entry, int fd) {
    return ExtractEntries(
        {entry},
        [fd](size_t, bool, int& out) {
            out = fd;
            return Status::Success();
        },
        [](size_t) { return Status::Success(); });
}

Status CarrierSession::ExtractEntries(const std::vector<int>& entries, const OpenOutput& open,
                                      const FinishOutput& finish) {
    if (!m_unlocked)
        return Status::Fail(Reason::NotUnlocked);
    // Proved at once unless this batch reads the entry that proves it.
    if (std::find(entries.begin(), entries.end(), m_pendingProof) == entries.end()) {
        Status proved = CompleteProof();
        if (!proved.Ok())
            return proved;
    }
    CUnzipper archive;
    Status result = OpenPayload(archive);
    if (!result.Ok())
        return result;
    std::vector<const HiddenEntry*> found;
    int64_t total = 0;
    for (int entry : entries) {
        found.push_back(FindEntry(entry));
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
    const auto end = [&](size_t at, EntryCheck check) {
        const int error = writeErrors[at];
        const bool proving = found[at]->index == m_pendingProof;
        if (error != 0) {
            result = Status::WriteFailure(found[at]->name, error);
        } else if (proving &&
                   (check == EntryCheck::WrongPassword || check == EntryCheck::Damaged)) {
            result = ProofFailure(found[at]->name);
            disproved = true;
        } else {
            // Any other failed check byte is damage: the password passed the others.
            result = EntryStatus(check == EntryCheck::WrongPassword ? EntryCheck::Damaged : check,
                                 found[at]->name);
        }
        if (proving && error == 0 && check == EntryCheck::Ok) {
            m_provenEntry = m_pendingProof;
            m_pendingProof = -1;
        }
        if (result.Ok())
            result = finish(at);
        return result.Ok();
    };
    archive.SetProgress([this, total](uint64_t bytes) {
        return Report(ProgressStep::Unpacking, static_cast<int64_t>(bytes), total);
    });
    const EntryCheck batch = archive.ReadEntries(entries, begin, end);
    // Only once no worker reads with the password any more.
    if (disproved)
        Relock();
    if (batch == EntryCheck::Cancelled)
        return EntryStatus(EntryCheck::Cancelled, {});
    return result.Ok() ? openFailure : result;
}

Status CarrierSession::SaveImagePart(const std::string& path, bool replace) {
    AtomicFile out(path);
    if (!out.Open())
        return PlacingFailure(path, errno);
    if (m_engine->WriteImagePart(out.Stream()) != 1)
        return EngineStatus();
    if (!out.Commit(replace ? Replace::Always : Replace::Never))
        return PlacingFailure(path, errno);
    return Status::Success();
}

Status CarrierSession::VerifyAll(int& checked) {
    checked = 0;
    if (!m_unlocked)
        return Status::Fail(Reason::NotUnlocked);
    Status proved = CompleteProof();
    if (!proved.Ok())
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
        if (i == m_provenEntry)
            continue;
        total += info.uncompressedSize;
        files.push_back(i);
    }
    archive.SetProgress([this, total](uint64_t bytes) {
        return Report(ProgressStep::Checking, static_cast<int64_t>(bytes), total);
    });
    int failed = -1;
    const EntryCheck check = archive.VerifyEntries(files, &failed);
    if (check == EntryCheck::Ok) {
        checked = fileCount;
        return Status::Success();
    }
    return EntryStatus(check == EntryCheck::WrongPassword ? EntryCheck::Damaged : check,
                       failed >= 0 ? names[static_cast<size_t>(failed)] : std::string());
}

Status CarrierSession::CheckRequest(const SaveRequest& request) const {
    if (request.destination.empty())
        return Status::Fail(Reason::NoDestination);
    const Password* password =
        request.newPassword != nullptr ? request.newPassword : CurrentPassword();
    if (password == nullptr)
        return Status::Fail(Reason::NoPassword);
    // The cipher's key stops at a NUL while the archive uses all of the password.
    if (request.newPassword != nullptr && request.newPassword->HasNul())
        return Status::Fail(Reason::NulInPassword);
    if (!request.keepMessage && request.message && !IsStorableMessage(*request.message))
        return Status::Fail(Reason::NulInMessage);
    if (!request.keepMessage && request.message &&
        MessageEntrySize(*request.message) > kMaxMessageEntrySize)
        return Status::OverLimit(Reason::MessageTooLarge, kMaxMessageEntrySize,
                                 MessageEntrySize(*request.message));
    for (int kept : request.keptEntries) {
        if (!m_unlocked || FindEntry(kept) == nullptr)
            return NoSuchEntry(kept);
    }
    for (const AddedFile& file : request.addedFiles) {
        std::string name =
            file.entryName.empty() ? file.path.substr(file.path.rfind('/') + 1) : file.entryName;
        if (!IsAcceptableNewEntryName(name))
            return Status::Fail(name == kMessageEntryName              ? Reason::NameReserved
                                : name.find('\\') != std::string::npos ? Reason::NameHasBackslash
                                                                       : Reason::NameUnusable,
                                name);
    }
    const size_t files = request.keptEntries.size() + request.addedFiles.size();
    if (!request.addedFiles.empty() && files > static_cast<size_t>(kSlotCount))
        return Status::OverLimit(Reason::TooManyFiles, kSlotCount, static_cast<int64_t>(files));
    return Status::Success();
}

// What the save would drop that the user did not ask to drop: a message that could not
// be read and is replaced, or one that is damaged and cannot be carried.
Status CarrierSession::Losses(const SaveRequest& request) const {
    if (!m_unlocked || request.allowLoss)
        return Status::Success();
    const MessageState state = GetMessageState();
    const bool unreadMessage = state == MessageState::TooLarge || state == MessageState::Damaged;
    if (unreadMessage && (!request.keepMessage || state == MessageState::Damaged))
        return Status::Fail(Reason::WouldLoseMessage, kMessageEntryName);
    return Status::Success();
}

std::string CarrierSession::PictureForSealedSave() const {
    return !m_unlocked && MayHoldSealedData() ? m_path : std::string();
}

Status CarrierSession::Save(const SaveRequest& request) {
    // Entries are copied as they are stored: only under the password that enciphered them.
    Status proved = CompleteProof();
    if (!proved.Ok())
        return proved;
    Status checked = CheckRequest(request);
    if (!checked.Ok())
        return checked;
    Status losses = Losses(request);
    if (!losses.Ok())
        return losses;
    const std::string target = SaveTarget(request.destination, m_path);
    const std::optional<FileIdentity> existing = IdentityOf(target);
    const bool inPlace = existing && m_identity && m_identity->IsSameFile(*existing);
    if (inPlace && !request.allowChanged && !(*existing == *m_identity))
        return Status::Fail(Reason::ChangedOnDisk, m_path);
    // An existing destination is held against other Lumora processes while it is replaced.
    FileLock saveLock;
    if (existing && !(m_lock != nullptr && inPlace)) {
        Status locked = LockStatusOf(saveLock.Lock(target), saveLock, target);
        if (locked.Outcome() == Outcome::Busy)
            return locked;
    }

    // The key derivations come first: they are the slow part that cannot be interrupted,
    // and nothing has changed yet when they fail or are cancelled.
    const CarrierFormat format =
        request.format.value_or(m_unlocked ? m_format : CarrierFormat::Classic);
    SealedSaveKeys derived;
    const SealedSaveKeys* keys = request.sealedKeys;
    if (format == CarrierFormat::Sealed && keys == nullptr) {
        const Password* password =
            request.newPassword != nullptr ? request.newPassword : CurrentPassword();
        Status made = DeriveSealedSaveKeys(PictureForSealedSave(), *password, derived, [this] {
            return !Report(ProgressStep::DerivingKey, 0, 0);
        });
        if (!made.Ok())
            return made;
        keys = &derived;
    }

    std::optional<std::string> message = request.message;
    // A kept message is copied as stored, byte for byte; a damaged one cannot be kept.
    const bool keepMessage = request.keepMessage && (GetMessageState() == MessageState::Present ||
                                                     GetMessageState() == MessageState::TooLarge);
    std::vector<int> keptSlots;
    std::vector<int> carried;
    for (int index : request.keptEntries) {
        const auto entry = std::find_if(m_entries.begin(), m_entries.end(),
                                        [index](const HiddenEntry& e) { return e.index == index; });
        if (entry->slot >= 0)
            keptSlots.push_back(entry->slot);
        else
            carried.push_back(index);
    }
    if (request.keepMessage)
        message = keepMessage ? Message() : std::nullopt;
    if (m_engine->ReplaceContent(message, keptSlots, request.addedFiles) != 1)
        return EngineStatus();
    m_engine->SetCarriedEntries(carried);
    m_engine->KeepStoredMessage(keepMessage);
    m_engine->SetNewPassword(request.newPassword);
    if (format == CarrierFormat::Sealed && !m_unlocked && !keys->picture.Empty())
        CutOpenedSealedData(keys->picture);
    const SealedKey* sealedKey = format == CarrierFormat::Sealed ? &keys->carrier : nullptr;

    AtomicFile out(target);
    if (!out.Open())
        return PlacingFailure(request.destination, errno);
    Status result = Status::Success();
    if ((sealedKey != nullptr ? m_engine->WriteSealedCarrier(out.Stream(), *sealedKey)
                              : m_engine->WriteCarrier(out.Stream())) != 1)
        result = EngineStatus();
    else if (std::fflush(out.Stream()) != 0)
        result = Status::WriteFailure(request.destination, errno);
    // The engine writes to a stream and cannot name it.
    if (result.subject.empty() && result.Outcome() == Outcome::WriteFailed)
        result.subject = request.destination;
    if (result.Ok()) {
        out.StartSync(); // the disk writes the carrier while it is read back
        result = ReadBack(out.Stream(), request, sealedKey);
    }
    m_engine->ForgetBuiltCheckpoints();
    if (result.Ok() && !out.Commit(request.replaceExisting ? Replace::Always : Replace::Never))
        result = PlacingFailure(request.destination, errno);
    if (!result.Ok()) {
        m_engine->SetNewPassword(nullptr);
        return result;
    }
    // The session now stands for what was written.
    if (m_engine->AdoptBuiltArchive() != 1)
        return EngineStatus();
    m_path = request.destination;
    m_identity = IdentityOf(target);
    m_format = format;
    // Saved, but the session cannot stand for what it wrote: it holds nothing unlocked.
    if (m_engine->OpenCarrier(target, OPEN_INSPECT) != 1 && !m_engine->LastStatus().Ok()) {
        Relock();
        return m_engine->LastStatus();
    }
    if (sealedKey != nullptr) {
        FILE* file = m_engine->CarrierFile();
        if (file == nullptr || ReadSealedTail(::fileno(file), StreamSize(file), *sealedKey,
                                              m_sealedHeader) != SealedOutcome::Ok) {
            Relock();
            return Status::Fail(Reason::ReadFailed, target, EIO);
        }
        m_engine->CutImagePart(static_cast<int64_t>(m_sealedHeader.imageLength));
    }
    m_unlocked = true;
    m_provenEntry = -1;
    m_pendingProof = -1;
    return LoadEntries();
}

// Opens what was just written as a carrier of its own and checks it reveals what the
// save meant to write: the password, every entry's CRC, the names and the message.
Status CarrierSession::ReadBack(FILE* written, const SaveRequest& request,
                                const SealedKey* sealedKey) {
    const std::string path = "/proc/self/fd/" + std::to_string(::fileno(written));
    CarrierSession copy(path);
    copy.SetWorkerThreads(m_engine->WorkerThreads());
    copy.SetReadFromCarrier(true);
    // Lets a large entry be deciphered on every thread; the keys are checked as they are
    // reached, so what is read is what one reader from the start would read.
    copy.m_checkpoints = &m_engine->BuiltCheckpoints();
    StepRelay checking(m_observer, ProgressStep::Checking);
    copy.SetProgressObserver(&checking);
    const Password* password =
        request.newPassword != nullptr ? request.newPassword : CurrentPassword();
    Status status = copy.Open();
    // A sealed carrier opens under the key it was just sealed with, without a derivation.
    if (status.Ok())
        status = sealedKey != nullptr ? copy.UnlockSealed(password->Copy(), sealedKey)
                                      : copy.Unlock(password->Copy());
    int entries = 0;
    if (status.Ok())
        status = copy.VerifyAll(entries);
    if (status.Outcome() == Outcome::Cancelled)
        return status;
    // Whatever the copy found failing, the save failed because what it wrote is wrong.
    if (!status.Ok())
        return Status::Fail(Reason::NotReadBack, request.destination);

    std::vector<std::string> expected;
    for (const HiddenEntry& entry : m_entries) {
        if (std::find(request.keptEntries.begin(), request.keptEntries.end(), entry.index) !=
            request.keptEntries.end())
            expected.push_back(entry.name);
    }
    for (const AddedFile& file : request.addedFiles)
        expected.push_back(file.entryName.empty() ? file.path.substr(file.path.rfind('/') + 1)
                                                  : file.entryName);
    std::vector<std::string> names;
    for (const HiddenEntry& entry : copy.Entries())
        names.push_back(entry.name);
    const bool keptTooLarge = request.keepMessage && GetMessageState() == MessageState::TooLarge;
    std::optional<std::string> message = request.keepMessage ? Message() : request.message;
    if (message && message->empty())
        message.reset();
    const bool sameMessage =
        keptTooLarge ? copy.GetMessageState() == MessageState::TooLarge : copy.Message() == message;
    if (names != expected || !sameMessage)
        return Status::Fail(Reason::NotReadBack, request.destination);
    return Status::Success();
}

} // namespace lumora
