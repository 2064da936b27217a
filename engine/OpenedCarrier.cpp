// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/OpenedCarrier.h"

#include "engine/CarrierCore.h"
#include "engine/CarrierSave.h"
#include "engine/CoverCheck.h"
#include "engine/UnlockedCarrier.h"

#include <new>
#include <utility>

namespace lumora {

OpenedCarrier::OpenedCarrier(std::unique_ptr<CarrierCore> core) : CarrierSession(std::move(core)) {}

OpenedCarrier::~OpenedCarrier() = default;

Status OpenedCarrier::Open(const std::string& path, std::unique_ptr<OpenedCarrier>& opened) {
    opened.reset();
    try {
        auto core = std::make_unique<CarrierCore>(path);
        if (Status status = core->Open(); !status.Ok())
            return status;
        opened.reset(new OpenedCarrier(std::move(core)));
    } catch (const std::bad_alloc&) {
        return Status::Fail(Reason::NoMemory);
    }
    return Status::Success();
}

const CarrierTrailer& OpenedCarrier::Trailer() const {
    return Core().engine->Trailer();
}

TrailerVerdict OpenedCarrier::Verdict() const {
    return Core().engine->JudgeTrailer();
}

bool OpenedCarrier::MayHoldSealedData() const {
    return Core().MayHoldSealedData();
}

bool OpenedCarrier::MayHoldWovenData() const {
    return Core().MayHoldWovenData();
}

void OpenedCarrier::SetReadFromCarrier(bool fromCarrier) {
    Core().engine->SetReadInPlace(fromCarrier);
}

Status OpenedCarrier::Unlock(std::unique_ptr<OpenedCarrier>& opened, Password password,
                             std::unique_ptr<UnlockedCarrier>& unlocked, ProofTiming timing) {
    unlocked.reset();
    CarrierCore& core = opened->Core();
    core.entries.clear();
    core.proof.Reset();
    std::unique_ptr<FormatPart> part = PartToUnlock(core);
    if (part == nullptr)
        return Status::Fail(Reason::NoData, core.path);
    if (Status status = part->Unlock(core, std::move(password), timing, nullptr); !status.Ok())
        return status;
    core.format = std::move(part);
    core.unlocked = true;
    unlocked = std::make_unique<UnlockedCarrier>(opened->TakeCore());
    opened.reset();
    return Status::Success();
}

std::string OpenedCarrier::PictureForSealedSave() const {
    return lumora::PictureForSealedSave(Core());
}

Status OpenedCarrier::CheckCover() const {
    const uint64_t kept =
        HoldsClassicData() ? static_cast<uint64_t>(Trailer().imageLength) : UINT64_MAX;
    return CheckNewCover(Core().path, kept);
}

Status OpenedCarrier::CheckRequest(const SaveRequest& request) const {
    if (request.checkCover) {
        if (Status cover = CheckCover(); !cover.Ok())
            return cover;
    }
    return CheckSaveRequest(Core(), request);
}

Status OpenedCarrier::Hide(std::unique_ptr<OpenedCarrier>& opened, SaveRequest request,
                           std::unique_ptr<UnlockedCarrier>& saved) {
    saved.reset();
    if (request.checkCover) {
        if (Status cover = opened->CheckCover(); !cover.Ok())
            return cover;
    }
    if (Status status = SaveCarrier(opened->Core(), std::move(request)); !status.Ok())
        return status;
    saved = std::make_unique<UnlockedCarrier>(opened->TakeCore());
    opened.reset();
    return Status::Success();
}

} // namespace lumora
