// SPDX-License-Identifier: GPL-2.0-or-later
// What became of an engine operation, as a type the programs act on rather than a text
// they compare. The reason is English detail for the command line and for tests; the
// desktop program shows its own texts by outcome.
#pragma once

#include <cstdint>
#include <string>

namespace lumora {

enum class Outcome {
    Ok,
    WrongPassword, // the password does not open the carrier
    NoData,        // no hidden data this program can read
    Damaged,       // the hidden data is damaged; subject names the entry where known
    Cancelled,     // the user stopped the operation; nothing was written
    Busy,          // another Lumora process is changing the carrier
    Changed,       // the carrier changed on disk since it was opened
    WouldLose,     // the save would lose hidden content; it needs the user's consent
    Refused,       // the request cannot be carried out as asked (reason says why)
    ReadFailed,    // a file could not be read (error holds errno where known)
    WriteFailed,   // the destination could not be written
    NoMemory,      // not enough memory for the operation
};

struct Status {
    Outcome outcome = Outcome::Ok;
    std::string subject; // the entry, file or path concerned, when there is one
    std::string reason;  // what went wrong, in English; it names the subject itself
    int error = 0;       // errno, where it applies

    bool Ok() const { return outcome == Outcome::Ok; }
    // The reason, or the subject when no reason was given.
    const std::string& Describe() const { return reason.empty() ? subject : reason; }

    static Status Success() { return {}; }
    static Status Fail(Outcome outcome, std::string reason, std::string subject = {},
                       int error = 0) {
        return {outcome, std::move(subject), std::move(reason), error};
    }
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
