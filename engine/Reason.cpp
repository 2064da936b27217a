// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/Reason.h"

namespace lumora {

std::array<Reason, kReasonCount> AllReasons() {
    std::array<Reason, kReasonCount> all{};
    for (int i = 0; i < kReasonCount; ++i)
        all[static_cast<size_t>(i)] = static_cast<Reason>(i + 1);
    return all;
}

std::string_view ReasonName(Reason reason) {
    switch (reason) {
    case Reason::None:
        return "none";
    case Reason::WrongPassword:
        return "wrong-password";
    case Reason::EntryNotUnderPassword:
        return "entry-not-under-password";
    case Reason::NoData:
        return "no-data";
    case Reason::SealedNotOpened:
        return "sealed-not-opened";
    case Reason::SealedNotTried:
        return "sealed-not-tried";
    case Reason::WovenNotOpened:
        return "woven-not-opened";
    case Reason::Damaged:
        return "damaged";
    case Reason::EntryDamaged:
        return "entry-damaged";
    case Reason::EntryFailsPasswordCheck:
        return "entry-fails-password-check";
    case Reason::EntryUnsupported:
        return "entry-unsupported";
    case Reason::MessageDamaged:
        return "message-damaged";
    case Reason::Cancelled:
        return "cancelled";
    case Reason::Busy:
        return "busy";
    case Reason::ChangedOnDisk:
        return "changed-on-disk";
    case Reason::WouldLoseMessage:
        return "would-lose-message";
    case Reason::DamagedContent:
        return "damaged-content";
    case Reason::PasswordUnproved:
        return "password-unproved";
    case Reason::PictureWouldBreak:
        return "picture-would-break";
    case Reason::NotAPicture:
        return "not-a-picture";
    case Reason::CoverHoldsData:
        return "cover-holds-data";
    case Reason::OverWovenCapacity:
        return "over-woven-capacity";
    case Reason::OldDataStaysInside:
        return "old-data-stays-inside";
    case Reason::NoDestination:
        return "no-destination";
    case Reason::NoPassword:
        return "no-password";
    case Reason::NulInPassword:
        return "nul-in-password";
    case Reason::NulInMessage:
        return "nul-in-message";
    case Reason::MessageTooLarge:
        return "message-too-large";
    case Reason::MessageTooLargeToShow:
        return "message-too-large-to-show";
    case Reason::NameHasBackslash:
        return "name-has-backslash";
    case Reason::NameReserved:
        return "name-reserved";
    case Reason::NameUnusable:
        return "name-unusable";
    case Reason::NameNotWritable:
        return "name-not-writable";
    case Reason::NameTaken:
        return "name-taken";
    case Reason::FileGivenTwice:
        return "file-given-twice";
    case Reason::TooManyFiles:
        return "too-many-files";
    case Reason::NoSuchHiddenFile:
        return "no-such-hidden-file";
    case Reason::NameAmbiguous:
        return "name-ambiguous";
    case Reason::NoSuchEntry:
        return "no-such-entry";
    case Reason::NotUnlocked:
        return "not-unlocked";
    case Reason::DestinationExists:
        return "destination-exists";
    case Reason::DestinationIsLink:
        return "destination-is-link";
    case Reason::DestinationIsFolder:
        return "destination-is-folder";
    case Reason::DestinationNotRegular:
        return "destination-not-regular";
    case Reason::NotAFolder:
        return "not-a-folder";
    case Reason::EmptyPicture:
        return "empty-picture";
    case Reason::PictureTooLarge:
        return "picture-too-large";
    case Reason::FileTooLarge:
        return "file-too-large";
    case Reason::FilesTooLarge:
        return "files-too-large";
    case Reason::CarrierTooLarge:
        return "carrier-too-large";
    case Reason::NotWovenKind:
        return "not-woven-kind";
    case Reason::WovenPalette:
        return "woven-palette";
    case Reason::WovenSampleDepth:
        return "woven-sample-depth";
    case Reason::PictureTooSmallToWeave:
        return "picture-too-small-to-weave";
    case Reason::OverWovenLimit:
        return "over-woven-limit";
    case Reason::WovenNoWay:
        return "woven-no-way";
    case Reason::WovenCannotStrip:
        return "woven-cannot-strip";
    case Reason::WovenImagePartLost:
        return "woven-image-part-lost";
    case Reason::ReadFailed:
        return "read-failed";
    case Reason::WriteFailed:
        return "write-failed";
    case Reason::DiskFull:
        return "disk-full";
    case Reason::NoWorkFolder:
        return "no-work-folder";
    case Reason::NotReadBack:
        return "not-read-back";
    case Reason::NoMemory:
        return "no-memory";
    case Reason::NoMemoryForKey:
        return "no-memory-for-key";
    }
    return "";
}

} // namespace lumora
