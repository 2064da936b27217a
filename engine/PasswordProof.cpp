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
    std::vector<std::string> failed;
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
        if (check == EntryCheck::WrongPassword) {
            failed.push_back(info.name);
            continue;
        }
        if (check != EntryCheck::Ok)
            return EntryStatus(check, info.name);
        ++passed;
        if (info.uncompressedSize > 0)
            candidates.push_back({i, info.compressedSize, info.uncompressedSize, info.name});
    }
    if (!failed.empty()) {
        if (static_cast<size_t>(passed) <= failed.size())
            return Status::Fail(Reason::WrongPassword);
        return Status::Fail(Reason::EntryFailsPasswordCheck, failed.front());
    }
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
    for (const Candidate& candidate : candidates) {
        archive.SetProgress([&progress, &candidate](uint64_t done) {
            return !progress || progress(static_cast<int64_t>(done), candidate.size);
        });
        const EntryCheck check = archive.VerifyEntryAt(candidate.index);
        if (check == EntryCheck::Unsupported)
            continue;
        if (check == EntryCheck::Ok)
            m_proven = candidate.index;
        if (check != EntryCheck::WrongPassword && check != EntryCheck::Damaged)
            return EntryStatus(check, candidate.name);
        return Failure(candidate.name);
    }
    // Nothing holds data: only the key can be proved, and it was.
    return Status::Success();
}

void PasswordProof::Passed() {
    m_proven = m_pending;
    m_pending = -1;
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

} // namespace lumora
