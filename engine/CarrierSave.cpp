// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/CarrierSave.h"

#include "archive/EntryName.h"
#include "engine/CarrierCore.h"
#include "engine/MessageEntry.h"
#include "engine/MessageForm.h"
#include "engine/SaveReadBack.h"
#include "platform/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

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
// be read and is replaced, or one that is damaged and cannot be carried.
Status Losses(const CarrierCore& core, const SaveRequest& request) {
    if (!core.unlocked || request.allowLoss)
        return Status::Success();
    const MessageState state = core.engine->GetMessageState();
    const bool unreadMessage = state == MessageState::TooLarge || state == MessageState::Damaged;
    if (unreadMessage && (!request.keepMessage || state == MessageState::Damaged))
        return Status::Fail(Reason::WouldLoseMessage, kMessageEntryName);
    return Status::Success();
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
// password.
Status ReplaceContent(CarrierCore& core, const SaveRequest& request) {
    CBindImage& engine = *core.engine;
    const MessageState state = engine.GetMessageState();
    // A kept message is copied as stored, byte for byte; a damaged one cannot be kept.
    const bool keepMessage =
        request.keepMessage && (state == MessageState::Present || state == MessageState::TooLarge);
    std::optional<std::string> message = request.message;
    if (request.keepMessage)
        message = keepMessage ? engine.Message() : std::nullopt;
    std::vector<int> keptSlots;
    std::vector<int> carried;
    for (int index : request.keptEntries) {
        const HiddenEntry* entry = core.FindEntry(index);
        if (entry->slot >= 0)
            keptSlots.push_back(entry->slot);
        else
            carried.push_back(index);
    }
    if (engine.ReplaceContent(message, keptSlots, request.addedFiles) != 1)
        return core.EngineStatus();
    engine.SetCarriedEntries(carried);
    engine.KeepStoredMessage(keepMessage);
    engine.SetNewPassword(request.newPassword);
    return Status::Success();
}

// Writes the save to target through a new file, reads it back and puts it in place.
Status WriteAndReplace(CarrierCore& core, const SaveRequest& request, const std::string& target,
                       FormatPart& writer, const SealedKey* key) {
    CBindImage& engine = *core.engine;
    AtomicFile out(target);
    if (!out.Open())
        return PlacingFailure(request.destination, errno);
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
        result = PlacingFailure(request.destination, errno);
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
    const size_t files = request.keptEntries.size() + request.addedFiles.size();
    if (!request.addedFiles.empty() && files > static_cast<size_t>(kSlotCount))
        return Status::OverLimit(Reason::TooManyFiles, kSlotCount, static_cast<int64_t>(files));
    return Status::Success();
}

std::string PictureForSealedSave(const CarrierCore& core) {
    return !core.unlocked && core.MayHoldSealedData() ? core.path : std::string();
}

Status SaveCarrier(CarrierCore& core, const SaveRequest& request) {
    // Entries are copied as they are stored: only under the password that enciphered them.
    if (Status proved = core.CompleteProof(); !proved.Ok())
        return proved;
    if (Status checked = CheckSaveRequest(core, request); !checked.Ok())
        return checked;
    if (Status losses = Losses(core, request); !losses.Ok())
        return losses;
    const std::string target = SaveTarget(request.destination, core.path);
    const std::optional<FileIdentity> existing = IdentityOf(target);
    const bool inPlace = existing && core.identity && core.identity->IsSameFile(*existing);
    if (inPlace && !request.allowChanged && !(*existing == *core.identity))
        return Status::Fail(Reason::ChangedOnDisk, core.path);
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
    if (format == CarrierFormat::Sealed && keys == nullptr) {
        Status made =
            DeriveSealedSaveKeys(PictureForSealedSave(core), *SavePassword(core, request), derived,
                                 [&core] { return !core.Report(ProgressStep::DerivingKey, 0, 0); });
        if (!made.Ok())
            return made;
        keys = &derived;
    }
    CBindImage& engine = *core.engine;
    if (Status replaced = ReplaceContent(core, request); !replaced.Ok())
        return replaced;
    if (format == CarrierFormat::Sealed && !core.unlocked && !keys->picture.Empty())
        CutOpenedSealedData(engine, keys->picture);
    const SealedKey* key = format == CarrierFormat::Sealed ? &keys->carrier : nullptr;
    std::unique_ptr<FormatPart> writer = PartToWrite(format, request.allowOverCapacity);
    if (Status written = WriteAndReplace(core, request, target, *writer, key); !written.Ok()) {
        engine.SetNewPassword(nullptr);
        return written;
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
    return core.LoadEntries();
}

} // namespace lumora
