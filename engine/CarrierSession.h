// SPDX-License-Identifier: GPL-2.0-or-later
// The carrier session: the one way both programs use a carrier. Each of its states is a
// type of its own, so that an operation can be asked for only where it makes sense:
//
//   OpenedCarrier::Open(path)  what a file shows without a password: the trailer's
//                              numbers, whether classic data is there or sealed data may be
//     OpenedCarrier::Unlock    -> UnlockedCarrier, with the whole password proved
//     OpenedCarrier::Hide      -> UnlockedCarrier, the carrier just written
//   UnlockedCarrier            entries, the message and its state, extract, verify, the
//                              summary and format; Save makes it the carrier just written
//
// A transition hands the file, its lock and the settings on to the next state; one that
// fails leaves the state it started from as it was, to be tried again. Every save reads
// back what it wrote before it replaces its destination, so a carrier that would not
// reveal is never reported as saved. The session chooses the format: classic data is
// unlocked as classic, a file without it that sealed data could fill is tried as sealed.
// CBindImage does the work beneath and stays there: no member of a state hands it out.
#pragma once

#include "engine/Outcome.h"

#include <memory>
#include <string>

namespace lumora {

struct CarrierCore;

// What every state of a session can do.
class CarrierSession {
public:
    CarrierSession(const CarrierSession&) = delete;
    CarrierSession& operator=(const CarrierSession&) = delete;

    // The file the carrier is read from; after a save, the file written.
    const std::string& Path() const;
    // Hears the progress of what the session does from now on; null for nobody.
    void SetProgressObserver(CProgressObserver* observer);
    // Threads for hiding, revealing and checking (0: one per usable processor).
    void SetWorkerThreads(int threads);
    // Holds the carrier against other Lumora processes until the session ends (Busy when
    // one holds it). Saves take the lock themselves for their own length.
    [[nodiscard]] Status Lock();
    // Writes the picture the carrier was made from, byte for byte: the file up to where
    // classic or unlocked sealed data begin. An existing file at path is replaced only
    // with replace (DestinationExists), and never through a link.
    [[nodiscard]] Status SaveImagePart(const std::string& path, bool replace);
    // The session's private working folder, gone when the session ends, and the deciphered
    // payload archive in it that later reads open (none there while reading from the
    // carrier, see OpenedCarrier::SetReadFromCarrier). For tests and diagnostics.
    const std::string& WorkFolder() const;
    const std::string& WorkingCopy() const;

protected:
    explicit CarrierSession(std::unique_ptr<CarrierCore> core);
    ~CarrierSession();
    CarrierCore& Core() { return *m_core; }
    const CarrierCore& Core() const { return *m_core; }
    // Hands the state on to the next one; this object is done with.
    std::unique_ptr<CarrierCore> TakeCore();

private:
    std::unique_ptr<CarrierCore> m_core;
};

} // namespace lumora
