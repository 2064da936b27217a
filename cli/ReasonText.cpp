// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/ReasonText.h"

#include "engine/CoverCheck.h"

#include <cstring>
#include <string_view>
#include <utility>

namespace lumora::cli {
namespace {

// Limits sit at a power of two or one byte below it: 2^31 - 1 is told as "2 GiB".
std::string BinarySize(int64_t bytes) {
    const std::pair<int, const char*> units[] = {{30, "GiB"}, {20, "MiB"}, {10, "KiB"}};
    for (const auto& [shift, name] : units) {
        const int64_t unit = int64_t{1} << shift;
        if (bytes + 1 >= unit)
            return std::to_string((bytes + unit / 2) / unit) + " " + name;
    }
    return std::to_string(bytes) + " bytes";
}

// What a file that is no picture is, for "secret.zip is a zip archive, not a picture";
// empty where there are no better words than "not a picture".
std::string KindWords(PictureKind kind) {
    switch (kind) {
    case PictureKind::Zip:
        return "a zip archive";
    case PictureKind::Gzip:
        return "a gzip archive";
    case PictureKind::Pdf:
        return "a PDF document";
    case PictureKind::Elf:
        return "a program";
    default:
        return "";
    }
}

std::string Value(char key, const Status& status, const std::string& carrier) {
    switch (key) {
    case 's':
        return status.subject;
    case 'e':
        return status.error != 0 ? std::strerror(status.error) : "";
    case 'n':
        return status.count >= 0 ? std::to_string(status.count) : "";
    case 'l':
        return status.limit >= 0 ? std::to_string(status.limit) : "";
    case 'b':
        return status.limit >= 0 ? BinarySize(status.limit) : "";
    case 'c':
        return carrier;
    case 'k':
        return KindWords(KindOfRefusal(status));
    default:
        return "";
    }
}

// Appends text with its placeholders filled to out; false when one of them has no value.
bool Fill(std::string_view text, const Status& status, const std::string& carrier,
          std::string& out) {
    bool complete = true;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const std::string value = Value(text[++i], status, carrier);
        complete = complete && !value.empty();
        out += value;
    }
    return complete;
}

} // namespace

const char* ReasonLine(Reason reason) {
    switch (reason) {
    case Reason::None:
        return "";
    case Reason::WrongPassword:
        return "wrong password";
    case Reason::EntryNotUnderPassword:
        return "\"%s\"{ in %c} is not under this password";
    case Reason::NoData:
        return "no hidden data{ in %c}";
    case Reason::SealedNotOpened:
        return "no hidden data found, or the password does not open it";
    case Reason::WovenNotOpened:
        return "no hidden data found, or the password does not open it";
    case Reason::SealedNotTried:
        return "no classic data{ in %c} (give a password, or add --sealed or --woven, to try one "
               "on sealed or woven data)";
    case Reason::Damaged:
        return "the hidden data{ in %c} is damaged";
    case Reason::EntryDamaged:
        return "\"%s\"{ in %c} is damaged";
    case Reason::EntryFailsPasswordCheck:
        return "\"%s\"{ in %c} fails its password check";
    case Reason::EntryUnsupported:
        return "\"%s\"{ in %c} is stored in a way this program cannot read";
    case Reason::MessageDamaged:
        return "the hidden message{ in %c} is damaged";
    case Reason::Cancelled:
        return "cancelled";
    case Reason::Busy:
        return "{%s|%c} is being changed by another Lumora process";
    case Reason::ChangedOnDisk:
        return "{%s|%c} changed since it was opened (use --force to go on)";
    case Reason::WouldLoseMessage:
        return "the hidden message could not be read and would be lost (use --force to go on)";
    case Reason::DamagedContent:
        return "\"%s\"{ in %c} is damaged: use --keep-damaged to copy what is damaged as it is "
               "stored, or --drop-damaged to leave it out";
    case Reason::PasswordUnproved:
        return "the password{ of %c} is longer than 32 bytes and nothing in the carrier proves "
               "the bytes past the 32nd; type it at a terminal, where it is asked for twice";
    case Reason::PictureWouldBreak:
        return "%s is a picture in a text format (such as SVG), which shows nothing once data "
               "follows its end (use --force to hide data in it anyway)";
    case Reason::NotAPicture:
        return "%s is {%k, not a picture|not a picture Lumora can read}; the picture comes first "
               "(use --force to hide data behind it anyway)";
    case Reason::CoverHoldsData:
        return "%s already holds %n bytes after its picture, such as another carrier's hidden "
               "data, which would stay inside the new carrier (use --force to hide data in it "
               "anyway)";
    case Reason::OverWovenCapacity:
        return "{%s|the picture} can carry %l bytes woven; the content is %n bytes (use --force "
               "to hide it anyway, which makes the changes easier to detect)";
    case Reason::OldDataStaysInside:
        return "converting {%s|%c} into or out of the woven format leaves its old hidden data "
               "inside the picture, where the old password still opens it; hide again into the "
               "original picture instead (use --force to convert anyway)";
    case Reason::NoDestination:
        return "no destination given{ for \"%s\"}";
    case Reason::NoPassword:
        return "no password given";
    case Reason::NulInPassword:
        return "a password cannot contain a NUL byte";
    case Reason::NulInMessage:
        return "the message contains a NUL byte and cannot be hidden";
    case Reason::MessageTooLarge:
        return "the message{ in %s} is too large (%b at most)";
    case Reason::MessageTooLargeToShow:
        return "the hidden message is too large to be shown (%b at most)";
    case Reason::NameHasBackslash:
        return "\"%s\" holds a backslash, which other programs read as a folder separator";
    case Reason::NameReserved:
        return "\"%s\" is the name of the hidden message and cannot name a hidden file";
    case Reason::NameUnusable:
        return "\"%s\" cannot be used as the name of a hidden file";
    case Reason::NameNotWritable:
        return "refusing to write the hidden file \"%s\": its name points outside the target "
               "folder";
    case Reason::NameTaken:
        return "{%c|the carrier} already hides a file named %s (remove it with --remove %s)";
    case Reason::FileGivenTwice:
        return "%s is given twice";
    case Reason::TooManyFiles:
        return "too many files: at most %l files can be hidden{, this would make %n}";
    case Reason::NoSuchHiddenFile:
        return "no hidden file named %s{ in %c}";
    case Reason::NameAmbiguous:
        return "{%n }hidden files are named %s{ in %c}: standard output can take only one";
    case Reason::NoSuchEntry:
        return "no hidden file{ at position %n}{ in %c}";
    case Reason::NotUnlocked:
        return "{%c|the carrier} is not unlocked";
    case Reason::DestinationExists:
        return "%s already exists (use --force to overwrite it)";
    case Reason::DestinationIsLink:
        return "%s is a symbolic link, which is never followed or replaced";
    case Reason::DestinationIsFolder:
        return "%s is a folder";
    case Reason::DestinationNotRegular:
        return "%s is not a regular file; only regular files are replaced";
    case Reason::NotAFolder:
        return "%s is not a folder";
    case Reason::EmptyPicture:
        return "cannot hide data in {%s|the picture}: the file is empty";
    case Reason::PictureTooLarge:
        return "{%s|the picture} is too large to hide data in (a carrier stays below %b)";
    case Reason::FileTooLarge:
        return "%s is too large to be hidden";
    case Reason::FilesTooLarge:
        return "the hidden files together would reach %b";
    case Reason::CarrierTooLarge:
        return "the carrier would reach %b";
    case Reason::NotWovenKind:
        return "{%s|the picture} cannot carry woven data: only JPEG, PNG and BMP pictures can "
               "(convert it to PNG first)";
    case Reason::WovenPalette:
        return "{%s|the picture} takes its colours from a palette, which cannot carry woven data "
               "(convert it to a true-colour PNG first)";
    case Reason::WovenSampleDepth:
        return "{%s|the picture} does not have 8-bit samples (or is CMYK or arithmetic-coded), "
               "which cannot carry woven data (convert it to an 8-bit RGB PNG first)";
    case Reason::PictureTooSmallToWeave:
        return "{%s|the picture} is too small to carry woven data";
    case Reason::OverWovenLimit:
        return "{%s|the picture} cannot carry %n bytes woven, even with --force (%l bytes at most)";
    case Reason::WovenNoWay:
        return "{%s|the picture} leaves no way to weave the content in (try less content or a "
               "larger, less flat picture)";
    case Reason::WovenCannotStrip:
        return "%s has nothing after its picture to strip; woven data inside a picture cannot "
               "be stripped (re-save the picture in another program, or hide again into the "
               "original)";
    case Reason::WovenImagePartLost:
        return "the original picture of {%s|%c} cannot be recovered: woven data lies inside "
               "the picture itself";
    case Reason::ReadFailed:
        return "cannot read {%s|a file}{: %e}";
    case Reason::WriteFailed:
        return "cannot write {%s|the output}{: %e}";
    case Reason::DiskFull:
        return "cannot write {%s|the output}: {%e|the disk is full}";
    case Reason::NoWorkFolder:
        return "{%s|cannot make a working folder}";
    case Reason::NotReadBack:
        return "what was written does not read back{; %s was left as it was}";
    case Reason::NoMemory:
        return "not enough memory";
    case Reason::NoMemoryForKey:
        return "not enough memory to derive the key";
    }
    return "";
}

std::string ReasonText(const Status& status, const std::string& carrier) {
    const std::string_view line = ReasonLine(status.reason);
    std::string text;
    for (size_t at = 0; at < line.size();) {
        const size_t open = line.find('{', at);
        // Outside braces a missing value is left out alone.
        Fill(line.substr(at, open - at), status, carrier, text);
        if (open == std::string_view::npos)
            break;
        const size_t close = line.find('}', open);
        const std::string_view group = line.substr(open + 1, close - open - 1);
        const size_t bar = group.find('|');
        std::string filled;
        if (!Fill(group.substr(0, bar), status, carrier, filled)) {
            filled.clear();
            if (bar == std::string_view::npos ||
                !Fill(group.substr(bar + 1), status, carrier, filled))
                filled.clear();
        }
        text += filled;
        at = close == std::string_view::npos ? line.size() : close + 1;
    }
    return text;
}

Code CodeOf(Outcome outcome) {
    switch (outcome) {
    case Outcome::Ok:
        return Code::Ok;
    case Outcome::WrongPassword:
        return Code::WrongPassword;
    case Outcome::NoData:
        return Code::NoData;
    case Outcome::Damaged:
        return Code::Damaged;
    case Outcome::Busy:
        return Code::Busy;
    case Outcome::Changed:
    case Outcome::WouldLose:
        return Code::NeedsForce;
    // Cancelled without a signal: the signal's own status is only for the program's end.
    case Outcome::Cancelled:
    case Outcome::Refused:
    case Outcome::ReadFailed:
    case Outcome::WriteFailed:
    case Outcome::NoMemory:
        break;
    }
    return Code::Failure;
}

Code CodeOf(const Status& status) {
    // An existing output is refused like the other things --force lets a command do.
    if (status.reason == Reason::DestinationExists)
        return Code::NeedsForce;
    return CodeOf(status.Outcome());
}

CliError ErrorOf(const Status& status, const std::string& carrier) {
    return CliError(CodeOf(status), ReasonText(status, carrier), status.reason);
}

} // namespace lumora::cli
