// SPDX-License-Identifier: GPL-2.0-or-later
#include "workflow/FrameCarrier.h"

#include <algorithm>

namespace lumora {

Status FrameCarrier::Open(const QString& path) {
    Release();
    return OpenedCarrier::Open(path.toStdString(), opened);
}

void FrameCarrier::Release() {
    opened.reset();
    unlocked.reset();
}

CarrierSession* FrameCarrier::Current() const {
    if (unlocked != nullptr)
        return unlocked.get();
    return opened.get();
}

void FrameCarrier::SetProgressObserver(CProgressObserver* observer) {
    if (CarrierSession* current = Current())
        current->SetProgressObserver(observer);
}

Status FrameCarrier::Unlock(Password password) {
    if (opened == nullptr)
        return Status::Fail(Reason::NoData);
    return OpenedCarrier::Unlock(opened, std::move(password), unlocked);
}

Status FrameCarrier::CheckRequest(const SaveRequest& request) const {
    if (unlocked != nullptr)
        return unlocked->CheckRequest(request);
    if (opened != nullptr)
        return opened->CheckRequest(request);
    return Status::Fail(Reason::NoData);
}

Status FrameCarrier::Save(const SaveRequest& request) {
    if (unlocked != nullptr)
        return unlocked->Save(request);
    if (opened != nullptr)
        return OpenedCarrier::Hide(opened, request, unlocked);
    return Status::Fail(Reason::NoData);
}

const Password* FrameCarrier::SavePassword(const SaveRequest& request) const {
    if (request.newPassword != nullptr)
        return request.newPassword;
    return unlocked != nullptr ? unlocked->CurrentPassword() : nullptr;
}

const HiddenEntry* FrameCarrier::Entry(int index) const {
    if (unlocked == nullptr)
        return nullptr;
    const std::vector<HiddenEntry>& entries = unlocked->Entries();
    const auto found = std::find_if(entries.begin(), entries.end(),
                                    [index](const HiddenEntry& e) { return e.index == index; });
    return found != entries.end() ? &*found : nullptr;
}

} // namespace lumora
