// SPDX-License-Identifier: GPL-2.0-or-later
// The unlocked state of a carrier session (engine/CarrierSession.h): what the carrier
// holds, read and written under its password.
#pragma once

#include "crypt/SecretBytes.h"
#include "engine/CarrierSession.h"
#include "engine/CarrierTrailer.h"
#include "engine/HeldMessage.h"
#include "engine/HiddenEntry.h"
#include "engine/SaveRequest.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lumora {

class UnlockedCarrier : public CarrierSession {
public:
    // Made by OpenedCarrier::Unlock and Hide, from a state the carrier's format unlocked.
    explicit UnlockedCarrier(std::unique_ptr<CarrierCore> core);
    ~UnlockedCarrier();

    // False once the carrier is locked again: a password whose proof was left to the first
    // read failed it, or a save could not open what it wrote. Every operation that needs
    // the password then fails with NotUnlocked.
    bool IsUnlocked() const;
    // Unlocked with the password proved as far as the format can; false while an
    // AtFirstRead proof waits.
    bool PasswordProved() const;
    // Whether every byte of the password is proved. A classic carrier's key holds only its
    // first 32 bytes, so a longer password is proved whole only by an entry's CRC (or two
    // check bytes); without one, a typo past byte 32 would pass. A program asks for such a
    // password a second time before it saves, and refuses to save where it cannot ask.
    bool PasswordProvedWhole() const;
    // Whether anything found so far is damaged: an entry (HiddenEntry::damaged) or the
    // message (MessageState::Damaged). Unlocking finds damage in the entries' headers and
    // in those read to prove the password; a read or VerifyAll finds the rest.
    bool HasDamage() const;
    // The format of the carrier, or of the one just saved.
    CarrierFormat Format() const;
    // The numbers of the information panel: the classic trailer's own, or for a sealed
    // carrier the same fields taken from its archive (payloadLength counts the tail).
    CarrierTrailer Summary() const;
    // The password the carrier is read and saved under; null once locked again.
    const Password* CurrentPassword() const;

    MessageState GetMessageState() const;
    // The message in its stored form when GetMessageState() is Present.
    const std::optional<std::string>& Message() const;
    // Every file entry, not only those of the 100 slots.
    const std::vector<HiddenEntry>& Entries() const;
    // The entries a save is to keep when a list of the entries with a slot keeps `listed`
    // (by index): those, and every entry without a slot, which no list shows and which
    // is therefore never given up by omission.
    std::vector<int> KeptEntriesWhenListing(const std::vector<int>& listed) const;

    // Extracts an entry into the working folder (gone when the session ends); path is the
    // copy.
    [[nodiscard]] Status ExtractToWorkFolder(int entry, std::string& path);
    // Extracts an entry to a file; an existing one is replaced only when replace is set.
    [[nodiscard]] Status ExtractToFile(int entry, const std::string& path, bool replace);
    // ExtractToFile of entries[i] to paths[i] for each i, side by side on the worker
    // threads; the files are put in place in order, and the first failure stops the rest
    // with the files before it in place.
    [[nodiscard]] Status ExtractToFiles(const std::vector<int>& entries,
                                        const std::vector<std::string>& paths, bool replace);
    // Writes an entry's bytes to an open descriptor.
    [[nodiscard]] Status ExtractToDescriptor(int entry, int fd);
    // Gives the descriptor for a position of ExtractEntries; a failure stops the batch.
    // inTurn says every earlier position is finished; before that, leaving fd at -1 asks
    // again once they are (in turn, it fails the position).
    using OpenOutput = std::function<Status(size_t position, bool inTurn, int& fd)>;
    // Runs once a position's bytes are written and synced; a failure stops the batch.
    using FinishOutput = std::function<Status(size_t position)>;
    // What a batch does with an entry that turns out damaged: stop there, or leave its
    // output unfinished and go on with the others.
    enum class OnDamage { Stop, Skip };
    // ExtractToDescriptor for each of entries, side by side on the worker threads, each
    // descriptor synced (fdatasync) once its entry is written. open and finish run on this
    // thread in the order of positions, open before the entry is read, finish after; a few
    // positions per worker are opened ahead. The first failure in that order is returned
    // (open's, the entry's or finish's), and no later position is finished. Unpacking
    // progress counts the bytes of all entries. With OnDamage::Skip, a damaged entry is
    // marked (HiddenEntry::damaged) and skipped, and when nothing else failed the result
    // is the damage of the first one skipped: every other position was finished.
    [[nodiscard]] Status ExtractEntries(const std::vector<int>& entries, const OpenOutput& open,
                                        const FinishOutput& finish,
                                        OnDamage onDamage = OnDamage::Stop);
    // Deciphers, inflates and checks every entry, the message too; checked counts them.
    // The entry that unlocking checked whole to prove the password is not read again.
    // Every entry is read, the damaged ones are marked (HiddenEntry::damaged), and the
    // first of them is the failure.
    [[nodiscard]] Status VerifyAll(int& checked);

    // What Save refuses in a request before it does anything: no destination or password,
    // a NUL in the message or the new password, a message too large, an entry to keep that
    // the carrier does not list, a name a new file cannot be hidden under, too many files.
    [[nodiscard]] Status CheckRequest(const SaveRequest& request) const;
    // Saves new content; the kept entries are copied as they are stored. On success this
    // carrier is the one just written, unlocked under the password it was saved with.
    // Besides the refusals of CheckRequest: Busy, ChangedOnDisk and WouldLoseMessage (the
    // last two go on with the request's consent), a destination that is a link, folder or
    // other special file, NotReadBack, ReadFailed, WriteFailed, DiskFull, NoMemory,
    // Cancelled. Saved but not opened again (ReadFailed), the carrier is locked. A request
    // moved in gives its message to the carrier without a copy.
    [[nodiscard]] Status Save(SaveRequest request);
};

} // namespace lumora
