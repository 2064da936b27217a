// SPDX-License-Identifier: GPL-2.0-or-later
// Every way an operation of either program can fail or be refused, like an errno list.
// A Status carries one, with its subject and numbers; the programs turn it into words
// (lumora-cli's reason table, the desktop program's language keys). Each reason belongs to
// exactly one Outcome, the coarse class that decides how a program goes on.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace lumora {

enum class [[nodiscard]] Outcome{
    Ok,
    WrongPassword, // the password does not open the carrier
    NoData,        // no hidden data this program can read
    Damaged,       // the hidden data is damaged
    Cancelled,     // the user stopped the operation; nothing was written
    Busy,          // another Lumora process is changing the carrier
    Changed,       // the carrier changed on disk since it was opened
    WouldLose,     // the save would lose content or hide it less well; it needs consent
    Refused,       // the request cannot be carried out as asked
    ReadFailed,    // a file could not be read
    WriteFailed,   // the destination could not be written
    NoMemory,      // not enough memory for the operation
};

// The subject, error and numbers each reason comes with are those of Status (Outcome.h).
enum class [[nodiscard]] Reason : uint8_t{
    None, // no failure
    // WrongPassword
    WrongPassword,
    EntryNotUnderPassword, // subject: the entry
    // NoData
    NoData,           // subject: the file, where known
    SealedNotOpened,  // no sealed data, or a password that does not open it: one answer
    SealedNotTried,   // no classic data, and sealed data was not asked for
    WovenNotOpened,   // no woven data, or a password that does not open it: one answer
    WovenCannotStrip, // subject: a picture with nothing after it, whose woven data stays
    // Damaged
    Damaged,                 // the payload as a whole
    EntryDamaged,            // subject: the entry
    EntryFailsPasswordCheck, // subject: the entry whose check byte fails
    EntryUnsupported,        // subject: the entry, stored in a way this program cannot read
    MessageDamaged,
    // Cancelled
    Cancelled,
    // Busy
    Busy, // subject: the carrier
    // Changed
    ChangedOnDisk, // subject: the carrier
    // WouldLose
    WouldLoseMessage,  // the message could not be read; subject: its entry
    DamagedContent,    // damaged entries or message to keep or leave out; subject: the first
    PasswordUnproved,  // the password cannot be proved whole and was not confirmed
    PictureWouldBreak, // subject: a picture in a text format, which data behind it hides
    NotAPicture,       // subject: a cover that is no picture Lumora reads; count: its PictureKind
    CoverHoldsData,    // subject: a cover with bytes after its picture; count: how many
    // subject: the picture; count: the archive's bytes; limit: the capacity in bytes
    OverWovenCapacity,
    // subject: the carrier; a conversion into or out of woven keeps the old data in the picture
    OldDataStaysInside,
    // Refused
    NoDestination, // subject: the entry that has nowhere to go, where known
    NoPassword,
    NulInPassword,
    NulInMessage,
    MessageTooLarge,       // limit: bytes; subject: where the message came from, if a file
    MessageTooLargeToShow, // limit: bytes
    NameHasBackslash,      // subject: the name
    NameReserved,          // subject: the name, which the message entry has
    NameUnusable,          // subject: the name
    NameNotWritable,       // subject: an entry name that leads outside the target folder
    NameTaken,             // subject: the name already taken
    FileGivenTwice,        // subject: the file
    TooManyFiles,          // count: the files there would be; limit: the most allowed
    NoSuchHiddenFile,      // subject: the name asked for
    NameAmbiguous,         // subject: a name that several entries have; count: how many
    NoSuchEntry,           // count: the entry or slot asked for
    NotUnlocked,
    DestinationExists,      // subject: the path
    DestinationIsLink,      // subject: the path
    DestinationIsFolder,    // subject: the path
    DestinationNotRegular,  // subject: the path, a special file
    NotAFolder,             // subject: a path on the way to the destination
    EmptyPicture,           // subject: the picture
    PictureTooLarge,        // subject: the picture; limit: bytes
    FileTooLarge,           // subject: the file; limit: bytes
    FilesTooLarge,          // limit: bytes
    CarrierTooLarge,        // limit: bytes
    NotWovenKind,           // subject: a picture of a kind woven data cannot use
    WovenPalette,           // subject: a picture whose colours come from a palette
    WovenSampleDepth,       // subject: a picture not of 8-bit samples, CMYK or arithmetic coding
    PictureTooSmallToWeave, // subject: the picture
    OverWovenLimit,         // subject: the picture; count: the archive's bytes; limit: bytes
    WovenNoWay,             // subject: the picture, whose elements leave the coder no way
    WovenImagePartLost,     // subject: the carrier, whose original picture is not kept
    // ReadFailed
    ReadFailed, // subject: the path; error: errno
    // WriteFailed
    WriteFailed,  // subject: the path; error: errno
    DiskFull,     // subject: the path; error: ENOSPC or EDQUOT
    NoWorkFolder, // subject: why, as the system layer tells it
    NotReadBack,  // subject: the destination; what was written does not reveal as meant
    // NoMemory
    NoMemory,
    NoMemoryForKey,
};

// Every reason but None, in the order above.
inline constexpr int kReasonCount = static_cast<int>(Reason::NoMemoryForKey);
std::array<Reason, kReasonCount> AllReasons();

constexpr Outcome OutcomeOf(Reason reason) {
    switch (reason) {
    case Reason::None:
        return Outcome::Ok;
    case Reason::WrongPassword:
    case Reason::EntryNotUnderPassword:
        return Outcome::WrongPassword;
    case Reason::NoData:
    case Reason::SealedNotOpened:
    case Reason::SealedNotTried:
    case Reason::WovenNotOpened:
    case Reason::WovenCannotStrip:
        return Outcome::NoData;
    case Reason::Damaged:
    case Reason::EntryDamaged:
    case Reason::EntryFailsPasswordCheck:
    case Reason::EntryUnsupported:
    case Reason::MessageDamaged:
        return Outcome::Damaged;
    case Reason::Cancelled:
        return Outcome::Cancelled;
    case Reason::Busy:
        return Outcome::Busy;
    case Reason::ChangedOnDisk:
        return Outcome::Changed;
    case Reason::WouldLoseMessage:
    case Reason::DamagedContent:
    case Reason::PasswordUnproved:
    case Reason::PictureWouldBreak:
    case Reason::NotAPicture:
    case Reason::CoverHoldsData:
    case Reason::OverWovenCapacity:
    case Reason::OldDataStaysInside:
        return Outcome::WouldLose;
    case Reason::ReadFailed:
        return Outcome::ReadFailed;
    case Reason::WriteFailed:
    case Reason::DiskFull:
    case Reason::NoWorkFolder:
    case Reason::NotReadBack:
        return Outcome::WriteFailed;
    case Reason::NoMemory:
    case Reason::NoMemoryForKey:
        return Outcome::NoMemory;
    case Reason::NoDestination:
    case Reason::NoPassword:
    case Reason::NulInPassword:
    case Reason::NulInMessage:
    case Reason::MessageTooLarge:
    case Reason::MessageTooLargeToShow:
    case Reason::NameHasBackslash:
    case Reason::NameReserved:
    case Reason::NameUnusable:
    case Reason::NameNotWritable:
    case Reason::NameTaken:
    case Reason::FileGivenTwice:
    case Reason::TooManyFiles:
    case Reason::NoSuchHiddenFile:
    case Reason::NameAmbiguous:
    case Reason::NoSuchEntry:
    case Reason::NotUnlocked:
    case Reason::DestinationExists:
    case Reason::DestinationIsLink:
    case Reason::DestinationIsFolder:
    case Reason::DestinationNotRegular:
    case Reason::NotAFolder:
    case Reason::EmptyPicture:
    case Reason::PictureTooLarge:
    case Reason::FileTooLarge:
    case Reason::FilesTooLarge:
    case Reason::CarrierTooLarge:
    case Reason::NotWovenKind:
    case Reason::WovenPalette:
    case Reason::WovenSampleDepth:
    case Reason::PictureTooSmallToWeave:
    case Reason::OverWovenLimit:
    case Reason::WovenNoWay:
    case Reason::WovenImagePartLost:
        break;
    }
    return Outcome::Refused;
}

// The reason's stable name for scripts ("wrong-password", "destination-exists").
std::string_view ReasonName(Reason reason);

} // namespace lumora
