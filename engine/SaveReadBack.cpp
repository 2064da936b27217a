// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/SaveReadBack.h"

#include "archive/Unzipper.h"
#include "engine/CarrierCore.h"
#include "engine/CarrierSave.h"

#include <algorithm>

namespace lumora {
namespace {

// Reports every step of the session beneath as one step of the caller's.
class StepRelay : public CProgressObserver {
public:
    StepRelay(CProgressObserver* target, ProgressStep step) : m_target(target), m_step(step) {}
    bool OnProgress(ProgressStep, int64_t done, int64_t total) override {
        return m_target == nullptr || m_target->OnProgress(m_step, done, total);
    }

private:
    CProgressObserver* m_target;
    ProgressStep m_step;
};

// The names the carrier written is to list, in order: the kept entries', then the new
// files'.
std::vector<std::string> ExpectedNames(const CarrierCore& core, const SaveRequest& request) {
    std::vector<std::string> expected;
    for (const HiddenEntry& entry : core.entries) {
        if (std::find(request.keptEntries.begin(), request.keptEntries.end(), entry.index) !=
            request.keptEntries.end())
            expected.push_back(entry.name);
    }
    for (const AddedFile& file : request.addedFiles)
        expected.push_back(NewEntryName(file));
    return expected;
}

// Whether the source entry `index` is damaged as stored; found so, it is marked.
bool SourceDamaged(CarrierCore& core, int index) {
    if (core.proof.IsDamaged(index))
        return true;
    CUnzipper archive;
    if (!core.OpenPayload(archive).Ok())
        return false;
    const EntryCheck check = archive.VerifyEntryAt(index);
    if (check != EntryCheck::Damaged && check != EntryCheck::WrongPassword)
        return false;
    core.proof.MarkDamaged(index);
    core.MarkDamagedEntries();
    return true;
}

// Whether the damage the copy shows is exactly what the save kept as stored: each damaged
// entry of the copy is a kept one whose source is damaged, and a damaged message is the
// kept one. DamagedContent (subject: the entry) when a kept entry proves damaged that the
// save was not told to keep; NotReadBack for any other damage.
Status DamageAsKept(CarrierCore& core, const CarrierCore& copy, const SaveRequest& request) {
    const Status notReadBack = Status::Fail(Reason::NotReadBack, request.destination);
    std::vector<const HiddenEntry*> sources;
    for (const HiddenEntry& entry : core.entries) {
        if (std::find(request.keptEntries.begin(), request.keptEntries.end(), entry.index) !=
            request.keptEntries.end())
            sources.push_back(&entry);
    }
    const bool messageKeptDamaged =
        request.keepMessage && core.engine->GetMessageState() == MessageState::Damaged;
    if ((copy.engine->GetMessageState() == MessageState::Damaged) != messageKeptDamaged)
        return notReadBack;
    for (size_t i = 0; i < copy.entries.size(); ++i) {
        if (!copy.entries[i].damaged)
            continue;
        if (i >= sources.size() || !SourceDamaged(core, sources[i]->index))
            return notReadBack;
        if (request.damaged != DamagedContent::Keep)
            return Status::Fail(Reason::DamagedContent, sources[i]->name);
    }
    return Status::Success();
}

} // namespace

Status ReadBack(CarrierCore& core, FILE* written, const SaveRequest& request, FormatPart& writer,
                const SealedKey* key) {
    StepRelay checking(core.observer, ProgressStep::Checking);
    CarrierCore copy("/proc/self/fd/" + std::to_string(::fileno(written)));
    copy.engine->SetWorkerThreads(core.engine->WorkerThreads());
    copy.engine->SetReadInPlace(true);
    // Lets a large entry be deciphered on every thread; the keys are checked as they are
    // reached, so what is read is what one reader from the start would read.
    copy.checkpoints = &core.engine->BuiltCheckpoints();
    copy.SetObserver(&checking);
    // What the save wrote is the message the engine holds now; the copy compares its own
    // with it as it reads, and holds none.
    const CBindImage& engine = *core.engine;
    const std::optional<std::string>& message = engine.Message();
    copy.engine->CompareMessageWith(message ? &*message : nullptr);
    Status status = copy.Open();
    if (status.Ok())
        status =
            writer.Unlock(copy, SavePassword(core, request)->Copy(), ProofTiming::AtUnlock, key);
    copy.unlocked = status.Ok();
    int entries = 0;
    if (status.Ok())
        status = copy.VerifyAll(entries);
    if (status.Outcome() == Outcome::Cancelled)
        return status;
    if (status.Outcome() == Outcome::Damaged && copy.unlocked) {
        if (Status kept = DamageAsKept(core, copy, request); !kept.Ok())
            return kept;
        status = Status::Success();
    }
    // Whatever the copy found failing, the save failed because what it wrote is wrong.
    if (!status.Ok())
        return Status::Fail(Reason::NotReadBack, request.destination);

    std::vector<std::string> names;
    for (const HiddenEntry& entry : copy.entries)
        names.push_back(entry.name);
    const bool keptTooLarge =
        request.keepMessage && engine.GetMessageState() == MessageState::TooLarge;
    const bool sameMessage = keptTooLarge ? copy.engine->GetMessageState() == MessageState::TooLarge
                             : message    ? copy.engine->MessageMatched()
                                          : !copy.engine->Message();
    if (names != ExpectedNames(core, request) || !sameMessage)
        return Status::Fail(Reason::NotReadBack, request.destination);
    return Status::Success();
}

} // namespace lumora
