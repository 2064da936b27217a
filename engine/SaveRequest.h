// SPDX-License-Identifier: GPL-2.0-or-later
// What a save of the carrier session writes, and how it may treat what is in its way.
#pragma once

#include "crypt/SecretBytes.h"
#include "engine/FileSlot.h"
#include "engine/Reason.h"
#include "engine/SealedCarrier.h"

#include <optional>
#include <string>
#include <vector>

namespace lumora {

// What a save does with kept entries and a kept message known to be damaged
// (HiddenEntry::damaged, MessageState::Damaged).
enum class DamagedContent {
    Refuse, // the save fails with DamagedContent
    Keep,   // copied as they are stored, still damaged
    Drop,   // left out
};

struct SaveRequest {
    std::string destination;
    // The carrier's message entry is carried over as stored (also one that could not be
    // read); otherwise `message` (stored form; none or empty: no message) replaces it.
    bool keepMessage = false;
    std::optional<std::string> message;
    // Entries of the unlocked carrier to keep, by index; every other one is left out.
    std::vector<int> keptEntries;
    std::vector<AddedFile> addedFiles;
    // The password to save under; none keeps the carrier's. Needed to hide (no carrier
    // unlocked). Borrowed for the call.
    const Password* newPassword = nullptr;
    // false: an existing destination is refused (DestinationExists).
    bool replaceExisting = true;
    // Content that cannot be carried into the new carrier is dropped only with consent.
    bool allowLoss = false;
    // A hide refuses a cover that is no picture or keeps data after its picture
    // (OpenedCarrier::CheckCover); off, any file is taken, as the user insists.
    bool checkCover = false;
    DamagedContent damaged = DamagedContent::Refuse;
    // A classic carrier's password that could not be proved whole
    // (UnlockedCarrier::PasswordProvedWhole) is saved under only once the caller has had
    // it typed again and compared; otherwise the save fails with PasswordUnproved.
    bool passwordConfirmed = false;
    // Saving over the opened carrier after it changed on disk needs consent.
    bool allowChanged = false;
    // Woven content above the picture's capacity (never above the coder's limit), which
    // makes the changes easier to detect, needs consent.
    bool allowOverCapacity = false;
    // Converting a carrier out of the woven format, or a sealed one into it, leaves the old
    // data inside the new carrier's picture, where the old password still opens it: consent.
    bool allowOldDataInside = false;
    // The format to write; none keeps the unlocked carrier's (classic for a hide). Every
    // sealed save gets a fresh salt and nonce.
    std::optional<CarrierFormat> format;
    // Keys made ahead from the password the save writes under: for a sealed save by
    // DeriveSealedSaveKeys (for a hide, with the picture of PictureForSealedSave), for a
    // woven one by DeriveWovenSaveKeys; null, or none of the save's format, derives them
    // during the save. A woven save takes its keys as it begins to write, also when it then
    // fails: an attempt after that needs new ones. Borrowed for the call.
    SealedSaveKeys* sealedKeys = nullptr;
};

// Gives the request the consent a save that failed for `reason` asked for (a reason of the
// Changed or WouldLose outcomes); false for a reason that no consent can change.
inline bool GiveConsent(SaveRequest& request, Reason reason) {
    switch (reason) {
    case Reason::ChangedOnDisk:
        request.allowChanged = true;
        return true;
    case Reason::WouldLoseMessage:
    case Reason::PictureWouldBreak:
        request.allowLoss = true;
        return true;
    case Reason::OverWovenCapacity:
        request.allowOverCapacity = true;
        return true;
    case Reason::OldDataStaysInside:
        request.allowOldDataInside = true;
        return true;
    case Reason::CoverHoldsData:
        request.checkCover = false;
        return true;
    default:
        return false;
    }
}

} // namespace lumora
