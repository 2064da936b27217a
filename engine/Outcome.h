// SPDX-License-Identifier: GPL-2.0-or-later
// What became of an engine operation, as a type the programs act on rather than a text
// they compare: Ok, or the reason it failed with what the reason needs to be told (the
// programs word it, see engine/Reason.h).
#pragma once

#include "engine/Reason.h"

#include <cstdint>
#include <string>
#include <utility>

namespace lumora {

struct [[nodiscard]] Status {
    Reason reason = Reason::None;
    std::string subject; // the entry, file or path concerned, when there is one
    int error = 0;       // errno, where it applies
    int64_t count = -1;  // how many there would be, or which entry was asked for; -1: none
    int64_t limit = -1;  // the bound that was passed (bytes or files); -1: none

    bool Ok() const { return reason == Reason::None; }
    lumora::Outcome Outcome() const { return OutcomeOf(reason); }

    static Status Success() { return {}; }
    static Status Fail(Reason why, std::string about = {}, int errorNumber = 0) {
        Status status;
        status.reason = why;
        status.subject = std::move(about);
        status.error = errorNumber;
        return status;
    }
    // A bound passed: limit, and count (what there would be) where it is known.
    static Status OverLimit(Reason why, int64_t bound, int64_t wouldBe = -1,
                            std::string about = {}) {
        Status status = Fail(why, std::move(about));
        status.limit = bound;
        status.count = wouldBe;
        return status;
    }
    // WriteFailed, or DiskFull when errorNumber says the disk or the quota is full.
    static Status WriteFailure(std::string about, int errorNumber);
};

// Steps of the long operations, for progress displays.
enum class ProgressStep {
    CopyingImage,
    Packing,
    Encrypting,
    Decrypting,
    Unpacking,
    Checking,    // reading back what was written, or verifying every entry
    DerivingKey, // a password-hard key derivation; reported once, without a measure
};

// The step's English name, as lumora-cli shows it.
const char* ProgressStepName(ProgressStep step);

// Told how far the current operation has come; asked whether to go on.
class CProgressObserver {
public:
    virtual ~CProgressObserver() = default;
    // bytesDone of bytesTotal for step; return false to cancel the operation, which then
    // fails as Cancelled and leaves nothing at its destination.
    virtual bool OnProgress(ProgressStep step, int64_t bytesDone, int64_t bytesTotal) = 0;
};

} // namespace lumora
