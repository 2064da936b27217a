// SPDX-License-Identifier: GPL-2.0-or-later
// The unlocked carrier: what it holds, the check of every entry and the save. Its
// extractions are in EntryExtraction.cpp.
#include "engine/UnlockedCarrier.h"

#include "engine/CarrierCore.h"
#include "engine/CarrierSave.h"

#include <algorithm>
#include <utility>

namespace lumora {

UnlockedCarrier::UnlockedCarrier(std::unique_ptr<CarrierCore> core)
    : CarrierSession(std::move(core)) {}

UnlockedCarrier::~UnlockedCarrier() = default;

bool UnlockedCarrier::IsUnlocked() const {
    return Core().unlocked;
}

bool UnlockedCarrier::PasswordProved() const {
    return Core().unlocked && Core().proof.Pending() < 0;
}

bool UnlockedCarrier::PasswordProvedWhole() const {
    return PasswordProved() && (Format() != CarrierFormat::Classic || Core().proof.Whole());
}

bool UnlockedCarrier::HasDamage() const {
    const std::vector<HiddenEntry>& entries = Core().entries;
    return GetMessageState() == MessageState::Damaged ||
           std::any_of(entries.begin(), entries.end(),
                       [](const HiddenEntry& entry) { return entry.damaged; });
}

CarrierFormat UnlockedCarrier::Format() const {
    return Core().format->Format();
}

CarrierTrailer UnlockedCarrier::Summary() const {
    return Core().format->Summary(Core());
}

const Password* UnlockedCarrier::CurrentPassword() const {
    return Core().engine->CurrentPassword();
}

MessageState UnlockedCarrier::GetMessageState() const {
    return Core().engine->GetMessageState();
}

const std::optional<std::string>& UnlockedCarrier::Message() const {
    return Core().engine->Message();
}

const std::vector<HiddenEntry>& UnlockedCarrier::Entries() const {
    return Core().entries;
}

std::vector<int> UnlockedCarrier::KeptEntriesWhenListing(const std::vector<int>& listed) const {
    std::vector<int> kept;
    for (const HiddenEntry& entry : Core().entries) {
        if (entry.slot < 0 || std::find(listed.begin(), listed.end(), entry.index) != listed.end())
            kept.push_back(entry.index);
    }
    return kept;
}

Status UnlockedCarrier::VerifyAll(int& checked) {
    return Core().VerifyAll(checked);
}

Status UnlockedCarrier::CheckRequest(const SaveRequest& request) const {
    return CheckSaveRequest(Core(), request);
}

Status UnlockedCarrier::Save(SaveRequest request) {
    return SaveCarrier(Core(), std::move(request));
}

} // namespace lumora
