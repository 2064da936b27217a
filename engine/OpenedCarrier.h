// SPDX-License-Identifier: GPL-2.0-or-later
// The first state of a carrier session (engine/CarrierSession.h): a file as it shows
// without a password. It is unlocked into an UnlockedCarrier, or, as a plain picture,
// has new content hidden into it.
#pragma once

#include "crypt/SecretBytes.h"
#include "engine/CarrierSession.h"
#include "engine/CarrierTrailer.h"
#include "engine/ClassicData.h"
#include "engine/SaveRequest.h"

#include <memory>
#include <string>

namespace lumora {

class UnlockedCarrier;

// When unlocking checks the entry that proves the whole password (see Unlock).
enum class ProofTiming {
    AtUnlock,
    // When UnlockedCarrier::ExtractEntries first reads that entry whole, so a carrier of
    // one large file is not read twice; whatever else relies on the password proves it
    // first. Until then a password that passed every check short of that entry's CRC-32
    // counts as right; the extraction that finds it wrong fails (WrongPassword, or Damaged
    // as Unlock would say) and leaves the carrier locked.
    AtFirstRead,
};

class OpenedCarrier : public CarrierSession {
public:
    // Opens the file at path and reads what it shows without a password into `opened`.
    // Ok also for a file without hidden data (HoldsClassicData and MayHoldSealedData
    // tell); ReadFailed when the file cannot be read, NoWorkFolder without a working
    // folder; NoMemory when the session cannot be made.
    [[nodiscard]] static Status Open(const std::string& path,
                                     std::unique_ptr<OpenedCarrier>& opened);
    ~OpenedCarrier();

    // The numbers of the classic trailer that closes the file, as stored (all zero when the
    // file ends in none); they count only when HoldsClassicData.
    const CarrierTrailer& Trailer() const;
    // What the trailer makes of the file, and whether it holds classic data: the one rule
    // of engine/ClassicData.h.
    TrailerVerdict Verdict() const;
    bool HoldsClassicData() const { return Verdict() == TrailerVerdict::Classic; }
    // No classic data, and bytes after the picture's own end (or no end that can be told)
    // in a size that sealed data could have: only a password can tell.
    bool MayHoldSealedData() const;
    // No classic data, and a JPEG, PNG or BMP with nothing after its end: only a password
    // can tell whether woven data is inside.
    bool MayHoldWovenData() const;
    // Reads classic hidden data from the carrier as it is needed, deciphering it on the
    // way, instead of from a deciphered copy in the working folder: for sessions that end
    // soon, such as a command of lumora-cli or a save's read-back. A session that stays
    // open keeps its copy, which later changes to the carrier file cannot reach.
    void SetReadFromCarrier(bool fromCarrier);

    // Unlocks `opened` with password. Ok: `unlocked` is the carrier, and has taken over
    // the file, the lock and the settings of `opened`, which is released. Otherwise
    // `opened` is as it was, to be tried again, with a reason of the outcomes
    // WrongPassword, NoData, Damaged (subject: the entry where known) or Cancelled. A file
    // without classic data is tried as sealed: the key derivation is reported as one
    // DerivingKey step without a measure, and the archive is listed only once all of it
    // authenticated. SealedNotOpened then stands for no data and for a password that does
    // not open it alike; NoMemoryForKey when the derivation could not get its memory. A
    // picture that may hold woven data is tried as woven in the same way (WovenNotOpened).
    [[nodiscard]] static Status Unlock(std::unique_ptr<OpenedCarrier>& opened, Password password,
                                       std::unique_ptr<UnlockedCarrier>& unlocked,
                                       ProofTiming timing = ProofTiming::AtUnlock);

    // The picture whose sealed data a sealed hide cuts off when the password opens it
    // (DeriveSealedSaveKeys): this file when it holds no classic data and bytes may follow
    // its picture; empty otherwise.
    std::string PictureForSealedSave() const;
    // Whether this file may be the cover of a new carrier (CheckNewCover of engine/
    // CoverCheck.h, over what a hide keeps of it: the image part of classic data).
    [[nodiscard]] Status CheckCover() const;
    // What Hide refuses in a request before it does anything (UnlockedCarrier::
    // CheckRequest, and CheckCover when the request asks for it); a hide keeps no entries
    // and needs a new password.
    [[nodiscard]] Status CheckRequest(const SaveRequest& request) const;
    // Hides the request's message and files under its new password behind this file's
    // picture (the image part of a classic carrier; sealed data the keys open is cut off).
    // Ok: `saved` is the carrier just written, unlocked under that password, and `opened`
    // is released. Otherwise `opened` stays, and the reasons are those of
    // UnlockedCarrier::Save. A request moved in gives its message to the carrier without a
    // copy.
    [[nodiscard]] static Status Hide(std::unique_ptr<OpenedCarrier>& opened, SaveRequest request,
                                     std::unique_ptr<UnlockedCarrier>& saved);

private:
    explicit OpenedCarrier(std::unique_ptr<CarrierCore> core);
};

} // namespace lumora
