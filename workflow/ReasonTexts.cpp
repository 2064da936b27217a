// SPDX-License-Identifier: GPL-2.0-or-later
#include "workflow/ReasonTexts.h"

namespace lumora {

const char* ReasonKey(Reason reason, const char* general) {
    switch (reason) {
    case Reason::WrongPassword:
    case Reason::EntryNotUnderPassword:
        return "strErrorPass";
    case Reason::NoData:
    case Reason::SealedNotTried:
        return "strNoData";
    case Reason::SealedNotOpened:
    case Reason::WovenNotOpened:
        return "strSealedNotOpened";
    case Reason::Damaged:
    case Reason::EntryDamaged:
    case Reason::EntryFailsPasswordCheck:
    case Reason::EntryUnsupported:
    case Reason::MessageDamaged:
    case Reason::MessageTooLargeToShow:
        return "strDataError";
    case Reason::Busy:
        return "strCarrierBusy";
    // Questions: the save goes on when the user agrees.
    case Reason::ChangedOnDisk:
        return "strCarrierChanged";
    case Reason::WouldLoseMessage:
        return "strSaveLoses";
    case Reason::NotAPicture:
        return "strNotAPicture";
    case Reason::CoverHoldsData:
        return "strCoverHoldsData";
    case Reason::OverWovenCapacity:
        return "strWovenCapacity";
    case Reason::OldDataStaysInside:
        return "strOldDataInside";
    case Reason::NulInPassword:
        return "strPasswordNul";
    case Reason::NulInMessage:
        return "strMessageNul";
    case Reason::NameHasBackslash:
        return "strBadFileName";
    case Reason::NameTaken:
    case Reason::FileGivenTwice:
        return "strFileInList";
    case Reason::TooManyFiles:
        return "strTooManyFiles";
    case Reason::PictureTooLarge:
    case Reason::FileTooLarge:
        return "strFileTooLarge";
    case Reason::NoMemoryForKey:
        return "strNoMemoryKey";
    // No message of their own yet.
    case Reason::PictureWouldBreak:
    case Reason::DamagedContent:
    case Reason::PasswordUnproved:
    case Reason::NameAmbiguous:
    case Reason::NotWovenKind:
    case Reason::WovenPalette:
    case Reason::WovenSampleDepth:
    case Reason::PictureTooSmallToWeave:
    case Reason::OverWovenLimit:
    case Reason::WovenNoWay:
    case Reason::WovenCannotStrip:
    case Reason::WovenImagePartLost:
    case Reason::NoDestination:
    case Reason::NoPassword:
    case Reason::MessageTooLarge:
    case Reason::NameReserved:
    case Reason::NameUnusable:
    case Reason::NameNotWritable:
    case Reason::NoSuchHiddenFile:
    case Reason::NoSuchEntry:
    case Reason::NotUnlocked:
    case Reason::DestinationExists:
    case Reason::DestinationIsLink:
    case Reason::DestinationIsFolder:
    case Reason::DestinationNotRegular:
    case Reason::NotAFolder:
    case Reason::EmptyPicture:
    case Reason::FilesTooLarge:
    case Reason::CarrierTooLarge:
    case Reason::ReadFailed:
    case Reason::WriteFailed:
    case Reason::DiskFull:
    case Reason::NoWorkFolder:
    case Reason::NotReadBack:
    case Reason::NoMemory:
    // Never shown: nothing failed, or the user stopped the work.
    case Reason::None:
    case Reason::Cancelled:
        break;
    }
    return general;
}

} // namespace lumora
