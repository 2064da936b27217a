// SPDX-License-Identifier: GPL-2.0-or-later
// CarrierSession: the one way both programs use a carrier. It inspects a file without a
// password, unlocks it with one (a typed outcome; "unlocked" means the whole password is
// proved), lists, reads, extracts and verifies what is hidden, and saves new content.
// Every save reads back what it wrote before it replaces its destination, so a carrier
// that would not reveal is never reported as saved. CBindImage does the work beneath.
//
// Both carrier formats go through it. A file without classic data may still hold sealed
// data, which nothing but its password can tell: Unlock tries it as sealed then.
#pragma once

#include "crypt/SecretBytes.h"
#include "engine/BindImage.h"
#include "engine/Outcome.h"
#include "engine/SealedCarrier.h"
#include "platform/FileLock.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lumora {

class CipherCheckpoints;
class CUnzipper;

// One file entry of the payload archive (the message entry is not one).
struct HiddenEntry {
    int index = -1;       // position in the payload archive
    std::string name;     // as stored, with "\" read as "/"; not necessarily UTF-8
    int64_t size = 0;     // bytes when extracted
    int slot = -1;        // the engine slot that lists it; -1 for entries no slot holds
    bool writable = true; // the name can be written below a folder
};

// When unlocking checks the entry that proves the whole password (see Unlock).
enum class ProofTiming {
    AtUnlock,
    // When ExtractEntries first reads that entry whole, so a carrier of one large file is
    // not read twice; whatever else relies on the password proves it first. Until then a
    // password that passed every check short of that entry's CRC-32 counts as right; the
    // extraction that finds it wrong fails (WrongPassword, or Damaged as Unlock would say)
    // and leaves the session locked.
    AtFirstRead,
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
    // Saving over the opened carrier after it changed on disk needs consent.
    bool allowChanged = false;
    // The format to write; none keeps the unlocked carrier's (classic for a hide). Every
    // sealed save gets a fresh salt and nonce.
    std::optional<CarrierFormat> format;
    // For a sealed save: keys made ahead by DeriveSealedSaveKeys from the password the save
    // writes under (and, for a hide, the session's picture); null derives them during the
    // save. Borrowed for the call.
    const SealedSaveKeys* sealedKeys = nullptr;
};

class CarrierSession {
public:
    explicit CarrierSession(std::string path);
    ~CarrierSession();
    CarrierSession(const CarrierSession&) = delete;
    CarrierSession& operator=(const CarrierSession&) = delete;

    // Reads what can be seen without a password. Ok also for a file without hidden data
    // (HasData tells); ReadFailed when the file cannot be read.
    Status Open();
    const std::string& Path() const { return m_path; }
    const CarrierTrailer& Trailer() const { return m_engine->Trailer(); }
    // Classic data: a trailer that fits the file.
    bool HasData() const;
    // No classic data, and a size that sealed data could have: only a password can tell.
    bool MayHoldSealedData() const;
    void SetProgressObserver(CProgressObserver* observer);
    // Threads for hiding, revealing and checking (CBindImage::SetWorkerThreads).
    void SetWorkerThreads(int threads) { m_engine->SetWorkerThreads(threads); }
    // Reads classic hidden data from the carrier as it is needed, deciphering it on the
    // way, instead of from a deciphered copy in the working folder (CBindImage::
    // SetReadInPlace): for sessions that end soon, such as a command of lumora-cli or a
    // save's read-back. A session that stays open keeps its copy, which later changes to
    // the carrier file cannot reach. Set before Unlock.
    void SetReadFromCarrier(bool fromCarrier) { m_engine->SetReadInPlace(fromCarrier); }

    // Holds the carrier against other Lumora processes until the session ends (Busy when
    // one holds it). Saves take the lock themselves for their own length.
    Status Lock();

    // Ok, or a reason of the outcomes WrongPassword, NoData, Damaged (subject: the entry
    // where known) or Cancelled. A file without classic data is tried as sealed: the key
    // derivation is reported as one DerivingKey step without a measure, and the archive is
    // listed only once all of it authenticated. SealedNotOpened then stands for no data and
    // for a password that does not open it alike; NoMemoryForKey when the derivation could
    // not get its memory.
    Status Unlock(Password password, ProofTiming timing = ProofTiming::AtUnlock);
    bool IsUnlocked() const { return m_unlocked; }
    // Unlocked with the whole password proved; false while an AtFirstRead proof waits.
    bool PasswordProved() const { return m_unlocked && m_pendingProof < 0; }
    // The format of the unlocked carrier, or of the one just saved; Classic before.
    CarrierFormat Format() const { return m_format; }
    // The numbers of the information panel: the classic trailer's own, or for an unlocked
    // sealed carrier the same fields taken from its archive (payloadLength counts the tail).
    CarrierTrailer Summary() const;
    const Password* CurrentPassword() const { return m_engine->CurrentPassword(); }

    MessageState GetMessageState() const { return m_engine->GetMessageState(); }
    // The message in its stored form when GetMessageState() is Present.
    const std::optional<std::string>& Message() const { return m_engine->Message(); }
    const std::vector<HiddenEntry>& Entries() const { return m_entries; }
    // The entry a slot lists, -1 for none.
    int EntryOfSlot(int slot) const;
    // The entries to keep when the listed slots are kept: theirs, and every entry that no
    // slot lists (those are never shown, so they are never given up by omission).
    std::vector<int> KeptEntriesForSlots(const std::vector<int>& slots) const;
    // The engine beneath, for the slot table.
    const CBindImage& Engine() const { return *m_engine; }

    // Extracts an entry into the working folder (gone when the session ends).
    Status ExtractToWorkFolder(int entry, std::string& path);
    // Extracts an entry to a file; an existing one is replaced only when replace is set.
    Status ExtractToFile(int entry, const std::string& path, bool replace);
    // ExtractToFile of entries[i] to paths[i] for each i, side by side on the worker
    // threads; the files are put in place in order, and the first failure stops the rest
    // with the files before it in place.
    Status ExtractToFiles(const std::vector<int>& entries, const std::vector<std::string>& paths,
                          bool replace);
    // Writes an entry's bytes to an open descriptor.
    Status ExtractToDescriptor(int entry, int fd);
    // Gives the descriptor for a position of ExtractEntries; a failure stops the batch.
    // inTurn says every earlier position is finished; before that, leaving fd at -1 asks
    // again once they are (in turn, it fails the position).
    using OpenOutput = std::function<Status(size_t position, bool inTurn, int& fd)>;
    // Runs once a position's bytes are written and synced; a failure stops the batch.
    using FinishOutput = std::function<Status(size_t position)>;
    // ExtractToDescriptor for each of entries, side by side on the worker threads, each
    // descriptor synced (fdatasync) once its entry is written. open and finish run on this
    // thread in the order of positions, open before the entry is read, finish after; a few
    // positions per worker are opened ahead. The first failure in that order is returned
    // (open's, the entry's or finish's), and no later position is finished. Unpacking
    // progress counts the bytes of all entries.
    Status ExtractEntries(const std::vector<int>& entries, const OpenOutput& open,
                          const FinishOutput& finish);
    // Writes the picture the carrier was made from, byte for byte; no password needed.
    Status SaveImagePart(const std::string& path, bool replace);
    // Deciphers, inflates and checks every entry, the message too; checked counts them.
    // The entry that unlocking checked whole to prove the password is not read again.
    Status VerifyAll(int& checked);

    // The picture whose sealed data a sealed save cuts off when the password opens it
    // (DeriveSealedSaveKeys): a hide's picture without classic data; empty otherwise.
    std::string PictureForSealedSave() const;

    // What Save refuses in a request before it does anything: no destination or password,
    // a NUL in the message or the new password, a message too large, an entry to keep that
    // the carrier does not list, a name a new file cannot be hidden under, too many files.
    Status CheckRequest(const SaveRequest& request) const;
    // Hides (not unlocked) or re-saves (unlocked). On success the session is the carrier
    // just written, unlocked under the password it was saved with. Saved but not opened
    // again (ReadFailed), the session holds nothing unlocked.
    Status Save(const SaveRequest& request);

private:
    Status EngineStatus() const;
    Status UnlockClassic(Password password, ProofTiming timing);
    // With key, the tail is opened without a derivation (the read-back of a save).
    Status UnlockSealed(Password password, const SealedKey* key);
    // Cuts off sealed data behind a hide's picture that key opens.
    void CutOpenedSealedData(const SealedKey& key);
    Status LoadEntries();
    Status ProvePassword(ProofTiming timing);
    // Proves a password whose proof was left to the first read (ProofTiming::AtFirstRead);
    // a failure locks the session.
    Status CompleteProof();
    // How the failed read of the entry that proves the password is told.
    Status ProofFailure(const std::string& name) const;
    void Relock();
    Status Losses(const SaveRequest& request) const;
    Status ReadBack(FILE* written, const SaveRequest& request, const SealedKey* sealedKey);
    // false when the observer asks to stop.
    [[nodiscard]] bool Report(ProgressStep step, int64_t done, int64_t total);
    const HiddenEntry* FindEntry(int entry) const;
    // A reader of the payload archive, set up as every read of this session wants it (the
    // password, the threads, the writer's keys of a read-back), or why there is none.
    Status OpenPayload(CUnzipper& archive) const;

    std::string m_path;
    std::unique_ptr<CBindImage> m_engine;
    std::vector<HiddenEntry> m_entries;
    std::unique_ptr<FileLock> m_lock;
    std::optional<FileIdentity> m_identity; // the carrier as it was when opened
    CProgressObserver* m_observer = nullptr;
    bool m_unlocked = false;
    CarrierFormat m_format = CarrierFormat::Classic;
    SealedHeader m_sealedHeader; // of an unlocked sealed carrier
    int64_t m_messageLength = 0; // bytes of the stored message
    int m_provenEntry = -1;      // the entry that unlocking checked whole, -1 for none
    int m_pendingProof = -1;     // the entry whose first read proves the password, -1 for none
    int m_passedChecks = 0;      // entries whose check byte the password passed
    // The writer's cipher keys, when this session reads back what another just wrote.
    const CipherCheckpoints* m_checkpoints = nullptr;
};

} // namespace lumora
