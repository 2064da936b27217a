// SPDX-License-Identifier: GPL-2.0-or-later
// What the states of a carrier session share and hand on to each other: the engine
// beneath, the file and its lock, the settings, and once unlocked, what the carrier holds
// and the format that unlocked it. Internal to the session: its states, its format parts
// (engine/FormatPart.h) and its save (engine/CarrierSave.h) work on it; the programs never
// see it, and the states never hand it out.
#pragma once

#include "engine/BindImage.h"
#include "engine/FormatPart.h"
#include "engine/HiddenEntry.h"
#include "engine/PasswordProof.h"
#include "picture/PictureEnd.h"
#include "platform/FileLock.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lumora {

class CipherCheckpoints;
class CUnzipper;

struct CarrierCore {
    explicit CarrierCore(std::string carrierPath);
    ~CarrierCore();
    CarrierCore(const CarrierCore&) = delete;
    CarrierCore& operator=(const CarrierCore&) = delete;

    // Opens the file and reads what it shows without a password; forgets what was
    // unlocked.
    [[nodiscard]] Status Open();
    // Tells the kind and end of the picture the engine has just opened (`picture`).
    void InspectOpenedPicture();
    bool HoldsClassicData() const { return engine->HoldsClassicData(); }
    // Only a password can tell whether sealed or woven data is there (FormatPart.h's rule).
    bool MayHoldSealedData() const;
    bool MayHoldWovenData() const;
    void SetObserver(CProgressObserver* observer);
    // false when the observer asks to stop.
    [[nodiscard]] bool Report(ProgressStep step, int64_t done, int64_t total) const;
    // The engine's last failure; Damaged when it recorded none.
    Status EngineStatus() const;

    // Once unlocked:
    // A reader of the payload archive, set up as every read of the session wants it (the
    // password, the threads, the writer's keys of a read-back), or why there is none.
    [[nodiscard]] Status OpenPayload(CUnzipper& archive) const;
    // Lists the entries of the payload archive the engine has read.
    [[nodiscard]] Status LoadEntries();
    const HiddenEntry* FindEntry(int entry) const;
    // Proves a password whose proof was left to the first read (ProofTiming::AtFirstRead);
    // a failure other than Cancelled locks the carrier.
    [[nodiscard]] Status CompleteProof();
    // UnlockedCarrier::VerifyAll.
    [[nodiscard]] Status VerifyAll(int& checked);
    // Marks the entries the proof has found damaged.
    void MarkDamagedEntries();
    // Forgets the password: nothing is unlocked any more.
    void Relock();

    [[nodiscard]] Status Lock();
    [[nodiscard]] Status SaveImagePart(const std::string& destination, bool replace);

    std::string path;
    std::unique_ptr<CBindImage> engine;
    std::unique_ptr<FileLock> lock;
    std::optional<FileIdentity> identity; // the carrier as it was when opened
    PictureLayout picture;                // the kind and end of the picture it opened with
    CProgressObserver* observer = nullptr;

    bool unlocked = false;
    std::unique_ptr<FormatPart> format; // the format that unlocked or last saved the carrier
    std::vector<HiddenEntry> entries;
    int64_t messageLength = 0; // bytes of the stored message
    PasswordProof proof;
    // The writer's cipher keys, when this session reads back what another just wrote.
    const CipherCheckpoints* checkpoints = nullptr;
};

// The status of a lock that was asked for on path.
Status LockStatusOf(LockStatus locked, const FileLock& lock, const std::string& path);
// Why a new file could not be made or put at path, from the errno of AtomicFile's Open or
// Commit.
Status PlacingFailure(const std::string& path, int error);
// No entry `entry` among those the session lists.
Status NoSuchEntry(int entry);

} // namespace lumora
