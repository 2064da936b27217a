// SPDX-License-Identifier: GPL-2.0-or-later
#include "workflow/ReasonTexts.h"

#include "engine/MessageForm.h"
#include "qtadapters/MessageFormat.h"
#include "text/FormatFileSize.h"

#include <array>
#include <cstring>

namespace lumora {
namespace {

// What fills a message's "%s".
enum class Value { Subject, LimitAsSize };

struct ReasonMessage {
    Reason reason;
    const char* key;
    const char* text; // the built-in English text
    Value value = Value::Subject;
};

// One line per reason, in the order of engine/Reason.h. A subject the engine may leave
// out stands last, after a colon. The outcomes WouldLose and Changed are questions: the
// save goes on when the user agrees.
constexpr std::array<ReasonMessage, kReasonCount> kMessages{{
    {Reason::WrongPassword, "strErrorPass", "Password error"},
    {Reason::EntryNotUnderPassword, "strEntryNotUnderPassword",
     "The hidden file %s is not protected by this password."},
    {Reason::NoData, "strNoData", "No Data In Image"},
    {Reason::SealedNotOpened, "strSealedNotOpened",
     "No hidden data was found in the image, or the password does not open it."},
    {Reason::SealedNotTried, "strSealedNotTried",
     "The image holds no data hidden the classic way."},
    {Reason::WovenNotOpened, "strWovenNotOpened",
     "No hidden data was found in the picture, or the password does not open it."},
    {Reason::WovenCannotStrip, "strWovenCannotStrip",
     "Data woven into %s cannot be stripped from it. Save the image again, or hide again into "
     "the original picture."},
    {Reason::Damaged, "strDamaged", "The hidden data is damaged."},
    {Reason::EntryDamaged, "strEntryDamaged", "The hidden file %s is damaged."},
    {Reason::EntryFailsPasswordCheck, "strEntryFailsCheck",
     "The hidden file %s fails its password check: it is damaged."},
    {Reason::EntryUnsupported, "strEntryUnsupported",
     "The hidden file %s is stored in a way Lumora cannot read."},
    {Reason::MessageDamaged, "strMessageDamaged", "The hidden text message is damaged."},
    {Reason::Cancelled, "strCancelled", "The work was cancelled."},
    {Reason::Busy, "strCarrierBusy",
     "%s is being changed by another Lumora process. Please try again when it has finished."},
    {Reason::ChangedOnDisk, "strCarrierChanged",
     "%s has been changed by another program since it was opened. Do you want to replace it "
     "anyway?"},
    {Reason::WouldLoseMessage, "strSaveLoses",
     "Some of the hidden content (%s) cannot be kept in the new image and would be lost. Do you "
     "want to save anyway?"},
    {Reason::DamagedContent, "strDamagedContent",
     "Some of the hidden content is damaged and cannot be saved as it is: %s"},
    {Reason::PasswordUnproved, "strPasswordUnproved",
     "The password could not be proved in full, so the image was not saved under it. Please "
     "open the image again and type the password with care."},
    {Reason::PictureWouldBreak, "strPictureWouldBreak",
     "%s is a picture in a text format (such as SVG), which shows nothing once data follows it. "
     "Do you want to hide the data in it anyway?"},
    {Reason::NotAPicture, "strNotAPicture",
     "%s is not a picture Lumora can read. Please choose a picture (JPEG, PNG, GIF, BMP, WebP, "
     "TIFF, ICO, WMF or EMF) to hide the data in."},
    {Reason::CoverHoldsData, "strCoverHoldsData",
     "%s already holds data after the end of its picture, such as another carrier's hidden "
     "data, which would stay inside the new image. Do you want to use it anyway?"},
    {Reason::OverWovenCapacity, "strWovenCapacity",
     "The content is more than %s can carry woven without its changes becoming easier to "
     "detect. Do you want to save anyway?"},
    {Reason::OldDataStaysInside, "strOldDataInside",
     "Converting %s leaves its old hidden data inside the picture, where the old password "
     "still opens it. Do you want to convert it anyway?"},
    {Reason::NoDestination, "strNoDestination", "There is nowhere to write to: %s"},
    {Reason::NoPassword, "strNoPassword", "No password was given."},
    {Reason::NulInPassword, "strPasswordNul",
     "The password contains a NUL character, which cannot be used. Please type another "
     "password."},
    {Reason::NulInMessage, "strMessageNul",
     "The text messages contain a NUL character, which cannot be hidden. Please remove it and "
     "save again."},
    {Reason::MessageTooLarge, "strMessageTooLarge",
     "The text message is too large to be hidden (%s at most).", Value::LimitAsSize},
    {Reason::MessageTooLargeToShow, "strMessageTooLargeToShow",
     "The hidden text message is too large to be shown (%s at most).", Value::LimitAsSize},
    {Reason::NameHasBackslash, "strBadFileName",
     "%s cannot be hidden: its name holds a backslash, which other programs read as a folder "
     "separator. Please rename it first."},
    {Reason::NameReserved, "strNameReserved",
     "%s is the name of the hidden text message and cannot name a hidden file."},
    {Reason::NameUnusable, "strNameUnusable", "%s cannot be used as the name of a hidden file."},
    {Reason::NameNotWritable, "strNameNotWritable",
     "The hidden file %s was not written: its name leads outside the target folder."},
    {Reason::NameTaken, "strNameTaken", "The image already hides a file named %s."},
    {Reason::FileGivenTwice, "strFileGivenTwice", "%s is in the list twice."},
    {Reason::TooManyFiles, "strTooManyFiles",
     "There are too many files in the list. It allows no more than 100 files in the list."},
    {Reason::NoSuchHiddenFile, "strNoSuchHiddenFile", "There is no hidden file named %s."},
    {Reason::NameAmbiguous, "strNameAmbiguous", "Several hidden files are named %s."},
    {Reason::NoSuchEntry, "strNoSuchEntry", "The hidden file is no longer in the image."},
    {Reason::NotUnlocked, "strNotUnlocked", "The image is not opened with its password."},
    {Reason::DestinationExists, "strDestinationExists", "%s already exists."},
    {Reason::DestinationIsLink, "strDestinationIsLink",
     "%s is a symbolic link, which is never followed or replaced."},
    {Reason::DestinationIsFolder, "strDestinationIsFolder", "%s is a folder."},
    {Reason::DestinationNotRegular, "strDestinationNotRegular",
     "%s is not a regular file; only regular files are replaced."},
    {Reason::NotAFolder, "strNotAFolder", "%s is not a folder."},
    {Reason::EmptyPicture, "strEmptyPicture", "%s is empty: there is no picture to hide data in."},
    {Reason::PictureTooLarge, "strPictureTooLarge", "%s is too large to hide data in."},
    {Reason::FileTooLarge, "strFileTooLarge", "%s is too large to be hidden."},
    {Reason::FilesTooLarge, "strFilesTooLarge",
     "The hidden files together would reach %s, more than an image can carry.", Value::LimitAsSize},
    {Reason::CarrierTooLarge, "strCarrierTooLarge",
     "The image with its hidden data would reach %s, more than Lumora can write.",
     Value::LimitAsSize},
    {Reason::NotWovenKind, "strNotWovenKind",
     "Data cannot be woven into %s. Please convert it to PNG first."},
    {Reason::WovenPalette, "strWovenPalette",
     "The colours of %s come from a palette, which cannot carry woven data. Please convert it "
     "to a true-colour PNG first."},
    {Reason::WovenSampleDepth, "strWovenSampleDepth",
     "%s does not have 8-bit samples and cannot carry woven data. Please convert it to an "
     "8-bit RGB PNG first."},
    {Reason::PictureTooSmallToWeave, "strPictureTooSmallToWeave",
     "%s is too small to carry woven data."},
    {Reason::OverWovenLimit, "strOverWovenLimit",
     "The content is more than %s can carry woven at all. Please choose a larger picture."},
    {Reason::WovenNoWay, "strWovenNoWay",
     "The content cannot be woven into %s. Please choose a larger picture."},
    {Reason::WovenImagePartLost, "strWovenImagePartLost",
     "The original picture of %s is not kept: woven data lies in the picture itself."},
    {Reason::ReadFailed, "strReadFailed", "A file could not be read: %s"},
    {Reason::WriteFailed, "strWriteFailed", "A file could not be written: %s"},
    {Reason::DiskFull, "strDiskFull", "The disk is full: %s"},
    {Reason::NoWorkFolder, "strNoWorkFolder", "No working folder could be made: %s"},
    {Reason::NotReadBack, "strNotReadBack",
     "What was written did not read back as it should, so nothing was replaced: %s"},
    {Reason::NoMemory, "strNoMemory",
     "There is not enough memory. Please close other programs and try again."},
    {Reason::NoMemoryForKey, "strNoMemoryKey",
     "There is not enough memory to derive the key from the password. Please close other "
     "programs and try again."},
}};

const ReasonMessage* Find(Reason reason) {
    for (const ReasonMessage& entry : kMessages) {
        if (entry.reason == reason)
            return &entry;
    }
    return nullptr;
}

// The message with its "%s" left out, and the ": " before it.
QString WithoutValue(const QString& text) {
    QString line = text;
    line.remove(QStringLiteral("%s"));
    line = line.trimmed();
    while (line.endsWith(QLatin1Char(':')))
        line = line.left(line.size() - 1).trimmed();
    return line;
}

QString FailureText(const Status& status, const char* general, const MessageLookup& message) {
    return message(general) + QLatin1Char('\n') + ReasonLine(status, message);
}

} // namespace

const char* ReasonKey(Reason reason) {
    const ReasonMessage* entry = Find(reason);
    return entry != nullptr ? entry->key : kSaveFailedKey;
}

const QStringList& ReasonMessages() {
    static const QStringList lines = [] {
        QStringList all;
        for (const ReasonMessage& entry : kMessages)
            all.append(QString::fromLatin1(entry.key) + QLatin1Char('=') +
                       QString::fromUtf8(entry.text));
        return all;
    }();
    return lines;
}

QString ReasonLine(const Status& status, const MessageLookup& message) {
    const ReasonMessage* entry = Find(status.reason);
    if (entry == nullptr)
        return QString();
    const QString text = message(entry->key);
    QString value;
    if (entry->value == Value::LimitAsSize && status.limit >= 0)
        value =
            QString::fromStdString(FormatFileSize(status.limit, message("strByte").toStdString()));
    else if (entry->value == Value::Subject)
        value = QString::fromStdString(ShowableText(status.subject));
    QString line = value.isEmpty() ? WithoutValue(text) : FormatMessage(text, value);
    if (status.error != 0)
        line += QStringLiteral(" (") + QString::fromLocal8Bit(std::strerror(status.error)) +
                QLatin1Char(')');
    return line;
}

QString SaveFailureText(const Status& status, const MessageLookup& message) {
    return FailureText(status, kSaveFailedKey, message);
}

QString OpenFailureText(const Status& status, const MessageLookup& message) {
    const Outcome outcome = status.Outcome();
    if (outcome == Outcome::WrongPassword || outcome == Outcome::NoData)
        return ReasonLine(status, message);
    return FailureText(status, kOpenFailedKey, message);
}

} // namespace lumora
