// SPDX-License-Identifier: GPL-2.0-or-later
// How a carrier session proves a classic carrier's whole password. The AES key is made of
// at most the first 32 bytes of the password (up to a NUL), while the archive's entries
// are enciphered under all of it, so the check record and the signature prove the key
// only: a longer password with the same start gives the same key. The entries prove the
// rest: the check byte of every encrypted entry, then the CRC of the smallest entry that
// holds data and checks out, inflated as a stream and never past its declared size.
//
// A wrong password passes a check byte one time in 256, the right one fails it only where
// the entry is damaged. So when most check bytes fail (a tie included) the password is
// wrong; when most pass, the failing entries are damaged. A failing CRC means damage once
// two check bytes passed, and a wrong password while only one did. Damaged entries never
// stand in the way of the others: the next smallest entry proves the password instead.
#pragma once

#include "engine/OpenedCarrier.h"
#include "engine/Outcome.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lumora {

class CUnzipper;

class PasswordProof {
public:
    // Hears how far the proving entry has been read; false cancels.
    using Progress = std::function<bool(int64_t done, int64_t total)>;

    // Proves the password with the entries of archive, opened under it. With AtFirstRead
    // a proving entry that is a file, not the message at messageEntry, is left to the read
    // that writes it out (Pending). Ok, WrongPassword, or the damage of the entry that
    // failed when no entry holding data checks out. Entries found damaged on the way are
    // kept in Damaged().
    [[nodiscard]] Status Prove(CUnzipper& archive, int messageEntry, ProofTiming timing,
                               const Progress& progress);
    // The entry whose first whole read is to prove the password; -1 for none.
    int Pending() const { return m_pending; }
    // The entry that proving read whole; -1 for none. A check of every entry need not
    // read it again.
    int Proven() const { return m_proven; }
    // The pending entry was read whole and its CRC passed: the password is proved.
    void Passed();
    // The pending entry failed its read. True when that is damage, which leaves the proof
    // to another entry (NeedsProof); false when it disproves the password (Failure).
    bool PendingFailed();
    // A proof is still to be run: one left pending, or one whose pending entry was damaged.
    bool NeedsProof() const { return m_pending >= 0 || m_reprove; }
    // How a failed read of the proving entry `name` is told.
    [[nodiscard]] Status Failure(const std::string& name) const;
    // Nothing proved, nothing pending, nothing known damaged.
    void Reset() { *this = PasswordProof(); }
    // Takes the pending entry away for a proof at once, and puts it back.
    int TakePending();
    void RestorePending(int entry) { m_pending = entry; }

    // The entries found damaged so far, by index, in the order found.
    const std::vector<int>& Damaged() const { return m_damaged; }
    void MarkDamaged(int entry);
    bool IsDamaged(int entry) const;
    // Whether the password is proved whole without the entries: the key holds all of it
    // (at most 32 bytes, no NUL), or the carrier was just written under it.
    void SetProvedWithoutEntries(bool proved) { m_provedWithoutEntries = proved; }
    // Whether every byte of the password is proved: without the entries, by an entry's
    // CRC, or by two check bytes (a wrong password passes two one time in 65,536).
    // False while the proof waits for its first read.
    bool Whole() const;

private:
    int m_proven = -1;
    int m_pending = -1;
    bool m_reprove = false;
    bool m_provedWithoutEntries = false;
    int m_passedChecks = 0; // entries whose check byte the password passed
    std::vector<int> m_damaged;
};

} // namespace lumora
