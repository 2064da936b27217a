// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/CarrierSave.h"

#include "archive/EntryName.h"
#include "engine/CarrierCore.h"
#include "engine/CoverCheck.h"
#include "engine/MessageEntry.h"
#include "engine/MessageForm.h"
#include "engine/SaveReadBack.h"
#include "platform/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <utility>

namespace lumora {
namespace {

// The path a save replaces: the file behind a link the carrier was opened through, so
// that saving in place keeps the link; any other path as given.
std::string SaveTarget(const std::string& destination, const std::string& opened) {
    if (destination != opened)
        return destination;
    char resolved[PATH_MAX];
    return ::realpath(opened.c_str(), resolved) != nullptr ? std::string(resolved) : destination;
}

// What the save would drop that the user did not ask to drop: a message that could not
// be read and is replaced; and damaged content it was not told what to do with.
Status Losses(const CarrierCore& core, const SaveRequest& request) {
    if (!core.unlocked)
        return Status::Success();
    const MessageState state = core.engine->GetMessageState();
    if (request.damaged == DamagedContent::Refuse) {
        if (request.keepMessage && state == MessageState::Damaged)
            return Status::Fail(Reason::DamagedContent, kMessageEntryName);
        for (int index : request.keptEntries) {
            const HiddenEntry* entry = core.FindEntry(index);
            if (entry != nullptr && entry->damaged)
                return Status::Fail(Reason::DamagedContent, entry->name);
        }
    }
    const bool unreadMessage = state == MessageState::TooLarge || state == MessageState::Damaged;
    if (!request.allowLoss && unreadMessage && !request.keepMessage)
        return Status::Fail(Reason::WouldLoseMessage, kMessageEntryName);
    return Status::Success();
}

// Makes the request what the save carries out when it drops damaged content: damaged
// entries and a damaged kept message left out.
void DropDamaged(const CarrierCore& core, SaveRequest& request) {
    std::vector<int> kept;
    for (int index : request.keptEntries) {
        const HiddenEntry* entry = core.FindEntry(index);
        if (entry == nullptr || !entry->damaged)
            kept.push_back(index);
    }
    request.keptEntries = std::move(kept);
    if (request.keepMessage && core.engine->GetMessageState() == MessageState::Damaged) {
        request.keepMessage = false;
        request.message.reset();
    }
}

// A classic password whose bytes past the key were never proved would, with a typo there,
// lock its owner out once saved under; it is used only once typed again.
bool PasswordUnproved(const CarrierCore& core, const SaveRequest& request) {
    return core.unlocked && request.newPassword == nullptr && !request.passwordConfirmed &&
           core.format != nullptr && core.format->Format() == CarrierFormat::Classic &&
           !core.proof.Whole();
}

// A conversion that leaves the carrier's old data inside the picture of the new one: out
// of woven, whose data lies in the picture, and from sealed into woven.
Status OldDataInside(const CarrierCore& core, const SaveRequest& request, CarrierFormat format) {
    if (!core.unlocked || core.format == nullptr || request.allowOldDataInside)
        return Status::Success();
    const CarrierFormat from = core.format->Format();
    const bool outOfWoven = from == CarrierFormat::Woven && format != CarrierFormat::Woven;
    const bool sealedIntoWoven = from == CarrierFormat::Sealed && format == CarrierFormat::Woven;
    if (outOfWoven || sealedIntoWoven)
        return Status::Fail(Reason::OldDataStaysInside, core.path);
    return Status::Success();
}

// Cuts off sealed data behind a hide's picture that key opens.
void CutOpenedSealedData(CBindImage& engine, const SealedKey& key) {
    FILE* file = engine.CarrierFile();
    SealedHeader header;
    if (file != nullptr &&
        ReadSealedTail(::fileno(file), StreamSize(file), key, header) == SealedOutcome::Ok)
        engine.CutImagePart(static_cast<int64_t>(header.imageLength));
}

// Tells the engine what the save writes: the message, the kept entries (through their
// slots, or carried over as stored when no slot holds them), the added files, the
// password. The message moves into the engine, which holds what the save writes (a kept
// message stays there); it is never copied.
Status ReplaceContent(CarrierCore& core, SaveRequest& request) {
    CBindImage& engine = *core.engine;
    const MessageState state = engine.GetMessageState();
    // A kept message is copied as stored, byte for byte; a damaged one only when asked to.
    const bool keepMessage =
        request.keepMessage &&
        (state == MessageState::Present || state == MessageState::TooLarge ||
         (state == MessageState::Damaged && request.damaged == DamagedContent::Keep));
    std::optional<std::string> message;
    if (!request.keepMessage)
        message = std::exchange(request.message, std::nullopt);
    else if (keepMessage)
        message = engine.TakeMessage();
    std::vector<int> keptSlots;
    std::vector<int> carried;
    // Each added file takes a slot; kept entries give theirs up, last first, and are
    // carried over as stored, in their place all the same.
    size_t slotsLeft = static_cast<size_t>(kSlotCount) -
                       std::min(request.addedFiles.size(), static_cast<size_t>(kSlotCount));
    for (int index : request.keptEntries) {
        const HiddenEntry* entry = core.FindEntry(index);
        if (entry->slot >= 0 && slotsLeft > 0) {
            keptSlots.push_back(entry->slot);
            --slotsLeft;
        } else {
            carried.push_back(index);
        }
    }
    if (engine.ReplaceContent(std::move(message), keptSlots, request.addedFiles) != 1)
        return core.EngineStatus();
    engine.SetCarriedEntries(carried);
    engine.KeepStoredMessage(keepMessage);
    std::vector<int> damagedKept;
    if (request.damaged == DamagedContent::Keep) {
        for (int index : request.keptEntries)
            if (core.FindEntry(index)->damaged)
                damagedKept.push_back(index);
        if (keepMessage && state == MessageState::Damaged)
            damagedKept.push_back(engine.MessageEntryIndex());
    }
    engine.SetDamagedKept(std::move(damagedKept));
    engine.SetNewPassword(request.newPassword);
    return Status::Success();
}

// Writes the save to target through a new file, reads it back and puts it in place.
// `replaced`: the file an in-place save replaces, and only that one.
Status WriteAndReplace(CarrierCore& core, const SaveRequest& request, const std::string& target,
                       FormatPart& writer, const SealedKey* key,
                       const std::optional<FileIdentity>& replaced) {
    CBindImage& engine = *core.engine;
    AtomicFile out(target);
    if (!out.Open())
        return PlacingFailure(request.destination, errno);
    if (replaced)
        out.ReplaceOnly(replaced->device, replaced->inode);
    Status result = Status::Success();
    if (writer.Write(engine, out.Stream(), key) != 1)
        result = core.EngineStatus();
    else if (std::fflush(out.Stream()) != 0)
        result = Status::WriteFailure(request.destination, errno);
    // The engine writes to a stream and cannot name it.
    if (result.subject.empty() && result.Outcome() == Outcome::WriteFailed)
        result.subject = request.destination;
    if (result.Ok()) {
        out.StartSync(); // the disk writes the carrier while it is read back
        result = ReadBack(core, out.Stream(), request, writer, key);
    }
    engine.ForgetBuiltCheckpoints();
    if (result.Ok() && !out.Commit(request.replaceExisting ? Replace::Always : Replace::Never))
        result = errno == ESTALE && replaced ? Status::Fail(Reason::ChangedOnDisk, core.path)
                                             : PlacingFailure(request.destination, errno);
    return result;
}

} // namespace

const Password* SavePassword(const CarrierCore& core, const SaveRequest& request) {
    return request.newPassword != nullptr ? request.newPassword : core.engine->CurrentPassword();
}

std::string NewEntryName(const AddedFile& file) {
    return file.entryName.empty() ? file.path.substr(file.path.rfind('/') + 1) : file.entryName;
}

Status CheckSaveRequest(const CarrierCore& core, const SaveRequest& request) {
    if (request.destination.empty())
        return Status::Fail(Reason::NoDestination);
    if (SavePassword(core, request) == nullptr)
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
        if (!core.unlocked || core.FindEntry(kept) == nullptr)
            return NoSuchEntry(kept);
    }
    for (const AddedFile& file : request.addedFiles) {
        const std::string name = NewEntryName(file);
        if (!IsAcceptableNewEntryName(name))
            return Status::Fail(name == kMessageEntryName              ? Reason::NameReserved
                                : name.find('\\') != std::string::npos ? Reason::NameHasBackslash
                                                                       : Reason::NameUnusable,
                                name);
    }
    // Kept entries need no slot; only the files added at once are bounded.
    if (request.addedFiles.size() > static_cast<size_t>(kSlotCount))
        return Status::OverLimit(Reason::TooManyFiles, kSlotCount,
                                 static_cast<int64_t>(request.addedFiles.size()));
    return Status::Success();
}

std::string PictureForSealedSave(const CarrierCore& core) {
    // A plain picture has nothing to cut off, and its try would cost a second key.
    return !core.unlocked && core.MayHoldSealedData() && !EndsWithPicture(core.path)
               ? core.path
               : std::string();
}

Status SaveCarrier(CarrierCore& core, SaveRequest request) {
    // Entries are copied as they are stored: only under the password that enciphered them.
    if (Status proved = core.CompleteProof(); !proved.Ok())
        return proved;
    if (Status checked = CheckSaveRequest(core, request); !checked.Ok())
        return checked;
    if (Status losses = Losses(core, request); !losses.Ok())
        return losses;
    if (PasswordUnproved(core, request))
        return Status::Fail(Reason::PasswordUnproved, core.path);
    if (request.damaged == DamagedContent::Drop)
        DropDamaged(core, request);
    const std::string target = SaveTarget(request.destination, core.path);
    const std::optional<FileIdentity> existing = IdentityOf(target);
    const bool inPlace = existing && core.identity && core.identity->IsSameFile(*existing);
    // A save over the path it opened whose file another has replaced (a rename over it,
    // a sync tool) or removed meanwhile would write over what is not the carrier it read.
    const bool samePath = core.identity && target == SaveTarget(core.path, core.path);
    if (!request.allowChanged &&
        ((inPlace && !(*existing == *core.identity)) || (samePath && !inPlace)))
        return Status::Fail(Reason::ChangedOnDisk, core.path);
    // The check is made again in the step that replaces it.
    std::optional<FileIdentity> replaced;
    if (inPlace && !request.allowChanged)
        replaced = core.identity;
    // An existing destination is held against other Lumora processes while it is replaced.
    FileLock saveLock;
    if (existing && !(core.lock != nullptr && inPlace)) {
        Status locked = LockStatusOf(saveLock.Lock(target), saveLock, target);
        if (locked.Outcome() == Outcome::Busy)
            return locked;
    }

    // The key derivations come first: they are the slow part that cannot be interrupted,
    // and nothing has changed yet when they fail or are cancelled.
    const CarrierFormat format = request.format.value_or(
        core.unlocked && core.format != nullptr ? core.format->Format() : CarrierFormat::Classic);
    if (Status inside = OldDataInside(core, request, format); !inside.Ok())
        return inside;
    SealedSaveKeys derived;
    const SealedSaveKeys* keys = request.sealedKeys;
    if (format == CarrierFormat::Sealed && (keys == nullptr || keys->carrier.Empty())) {
        Status made =
            DeriveSealedSaveKeys(PictureForSealedSave(core), *SavePassword(core, request), derived,
                                 [&core] { return !core.Report(ProgressStep::DerivingKey, 0, 0); });
        if (!made.Ok())
            return made;
        keys = &derived;
    }
    CBindImage& engine = *core.engine;
    const SealedKey* key = format == CarrierFormat::Sealed ? &keys->carrier : nullptr;
    std::unique_ptr<FormatPart> writer =
        PartToWrite(format, request.allowOverCapacity,
                    request.sealedKeys != nullptr ? &request.sealedKeys->woven : nullptr);
    // The read-back may find a kept entry damaged that nothing had read before; a save
    // told to drop damaged entries then runs once more without it.
    Status written = Status::Success();
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (Status content = ReplaceContent(core, request); !content.Ok())
            return content;
        if (format == CarrierFormat::Sealed && !core.unlocked && !keys->picture.Empty())
            CutOpenedSealedData(engine, keys->picture);
        written = WriteAndReplace(core, request, target, *writer, key, replaced);
        engine.SetNewPassword(nullptr);
        if (written.reason != Reason::DamagedContent || request.damaged != DamagedContent::Drop)
            break;
        if (!request.keepMessage)
            request.message = engine.TakeMessage();
        DropDamaged(core, request);
    }
    if (!written.Ok())
        return written;
    engine.SetNewPassword(request.newPassword);
    std::vector<bool> keptDamaged;
    for (const HiddenEntry& entry : core.entries) {
        if (std::find(request.keptEntries.begin(), request.keptEntries.end(), entry.index) !=
            request.keptEntries.end())
            keptDamaged.push_back(entry.damaged);
    }

    // The session now stands for what was written.
    if (engine.AdoptBuiltArchive() != 1)
        return core.EngineStatus();
    core.path = request.destination;
    core.identity = IdentityOf(target);
    Status reopened = Status::Success();
    if (engine.OpenCarrier(target, OPEN_INSPECT) != 1 && !engine.LastStatus().Ok())
        reopened = engine.LastStatus();
    core.InspectOpenedPicture();
    if (reopened.Ok())
        reopened = writer->TakeUp(core, target, key);
    core.format = std::move(writer);
    // Saved, but the session cannot stand for what it wrote: it holds nothing unlocked.
    if (!reopened.Ok()) {
        core.Relock();
        return reopened;
    }
    core.unlocked = true;
    core.proof.Reset();
    // Written under this password, which was proved or typed twice.
    core.proof.SetProvedWithoutEntries(true);
    Status loaded = core.LoadEntries();
    // Kept entries come first, in their order, still as damaged as they were.
    for (size_t i = 0; i < keptDamaged.size() && i < core.entries.size(); ++i) {
        if (keptDamaged[i])
            core.proof.MarkDamaged(core.entries[i].index);
    }
    core.MarkDamagedEntries();
    return loaded;
}

} // namespace lumora
