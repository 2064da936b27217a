// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/PasswordProof.h"

#include "archive/Unzipper.h"
#include "engine/EntryStatus.h"

#include <algorithm>
#include <vector>

namespace lumora {

Status PasswordProof::Prove(CUnzipper& archive, int messageEntry, ProofTiming timing,
                            const Progress& progress) {
    struct Candidate {
        int index;
        uint32_t compressed;
        int64_t size;
        std::string name;
    };
    std::vector<Candidate> candidates;
    int passed = 0;
    std::vector<int> failed;
    std::string firstDamaged;
    m_reprove = false;
    const int count = archive.EntryCount();
    for (int i = 0; i < count; ++i) {
        ZipEntryInfo info;
        if (!archive.EntryInfoAt(i, info))
            return Status::Fail(Reason::Damaged);
        if (!info.encrypted || info.isFolder)
            continue;
        const EntryCheck check = archive.CheckEntryPasswordAt(i);
        if (check == EntryCheck::Unsupported)
            continue;
        if (check == EntryCheck::Cancelled)
            return EntryStatus(check, info.name);
        if (check == EntryCheck::WrongPassword) {
            failed.push_back(i);
            continue;
        }
        // A header that cannot be read says nothing of the password.
        if (check != EntryCheck::Ok) {
            MarkDamaged(i);
            if (firstDamaged.empty())
                firstDamaged = info.name;
            continue;
        }
        ++passed;
        if (info.uncompressedSize > 0 && !IsDamaged(i))
            candidates.push_back({i, info.compressedSize, info.uncompressedSize, info.name});
    }
    if (!failed.empty() && static_cast<size_t>(passed) <= failed.size())
        return Status::Fail(Reason::WrongPassword);
    for (int entry : failed)
        MarkDamaged(entry);
    // Nothing intact is left to tell anything.
    if (passed == 0 && !m_damaged.empty())
        return Status::Fail(Reason::EntryDamaged, firstDamaged);
    std::stable_sort(
        candidates.begin(), candidates.end(),
        [](const Candidate& a, const Candidate& b) { return a.compressed < b.compressed; });
    m_passedChecks = passed;
    // The message is read at once anyway; a file may wait for the read that writes it out.
    if (timing == ProofTiming::AtFirstRead && !candidates.empty() &&
        candidates.front().index != messageEntry) {
        m_pending = candidates.front().index;
        return Status::Success();
    }
    const Candidate* firstFailed = nullptr;
    for (const Candidate& candidate : candidates) {
        archive.SetProgress([&progress, &candidate](uint64_t done) {
            return !progress || progress(static_cast<int64_t>(done), candidate.size);
        });
        const EntryCheck check = archive.VerifyEntryAt(candidate.index);
        if (check == EntryCheck::Unsupported)
            continue;
        if (check == EntryCheck::Ok) {
            m_proven = candidate.index;
            return Status::Success();
        }
        if (check != EntryCheck::WrongPassword && check != EntryCheck::Damaged)
            return EntryStatus(check, candidate.name);
        // Only a password that passed two check bytes can tell damage from itself.
        if (m_passedChecks < 2)
            return Failure(candidate.name);
        MarkDamaged(candidate.index);
        if (firstFailed == nullptr)
            firstFailed = &candidate;
    }
    if (firstFailed != nullptr)
        return Failure(firstFailed->name);
    // Nothing holds data: only the key and the check bytes can prove it, and they did.
    return Status::Success();
}

void PasswordProof::Passed() {
    m_proven = m_pending;
    m_pending = -1;
}

bool PasswordProof::PendingFailed() {
    const int entry = m_pending;
    m_pending = -1;
    if (m_passedChecks < 2)
        return false;
    MarkDamaged(entry);
    m_reprove = true;
    return true;
}

Status PasswordProof::Failure(const std::string& name) const {
    if (m_passedChecks >= 2)
        return Status::Fail(Reason::EntryDamaged, name);
    return Status::Fail(Reason::WrongPassword);
}

int PasswordProof::TakePending() {
    const int pending = m_pending;
    m_pending = -1;
    return pending;
}

void PasswordProof::MarkDamaged(int entry) {
    if (entry >= 0 && !IsDamaged(entry))
        m_damaged.push_back(entry);
}

bool PasswordProof::IsDamaged(int entry) const {
    return std::find(m_damaged.begin(), m_damaged.end(), entry) != m_damaged.end();
}

bool PasswordProof::Whole() const {
    if (m_pending >= 0 || m_reprove)
        return false;
    return m_provedWithoutEntries || m_proven >= 0 || m_passedChecks >= 2;
}

} // namespace lumora
