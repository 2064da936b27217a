// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/WovenStatus.h"

#include <cerrno>

namespace lumora {
namespace {

Status Sized(Reason reason, const std::string& picture, uint64_t content, uint64_t bound) {
    return Status::OverLimit(reason, static_cast<int64_t>(bound), static_cast<int64_t>(content),
                             picture);
}

} // namespace

Status CoverRefusal(CoverStatus cover, const std::string& picture, int error) {
    switch (cover) {
    case CoverStatus::Ok:
        return Status::Success();
    case CoverStatus::ReadFailed:
        return Status::Fail(Reason::ReadFailed, picture, error != 0 ? error : EIO);
    case CoverStatus::WriteFailed:
        return Status::WriteFailure(picture, error != 0 ? error : EIO);
    case CoverStatus::NoMemory:
        return Status::Fail(Reason::NoMemory);
    case CoverStatus::Palette:
        return Status::Fail(Reason::WovenPalette, picture);
    case CoverStatus::NotEightBit:
    case CoverStatus::ReducedPrecision:
    case CoverStatus::CmykColour:
    case CoverStatus::ArithmeticCoding:
        return Status::Fail(Reason::WovenSampleDepth, picture);
    case CoverStatus::NotSupported:
    case CoverStatus::Damaged:
    case CoverStatus::TooLarge:
    case CoverStatus::Animated:
    case CoverStatus::UnsupportedLayout:
        break;
    }
    return Status::Fail(Reason::NotWovenKind, picture);
}

Status WeaveStatus(const WeaveResult& result, const std::string& picture,
                   const std::string& output) {
    switch (result.outcome) {
    case WovenOutcome::Ok:
        return Status::Success();
    case WovenOutcome::Refused:
    case WovenOutcome::ReadFailed:
        return CoverRefusal(result.outcome == WovenOutcome::Refused ? result.cover
                                                                    : CoverStatus::ReadFailed,
                            picture, result.error);
    case WovenOutcome::TooSmall:
        return Status::Fail(Reason::PictureTooSmallToWeave, picture);
    case WovenOutcome::OverCapacity:
        return Sized(Reason::OverWovenCapacity, picture, result.contentBytes,
                     result.size.capacityBytes);
    case WovenOutcome::OverLimit:
        return Sized(Reason::OverWovenLimit, picture, result.contentBytes, result.size.limitBytes);
    case WovenOutcome::NoWay:
        return Status::Fail(Reason::WovenNoWay, picture);
    case WovenOutcome::NoMemory:
        return Status::Fail(Reason::NoMemoryForKey);
    case WovenOutcome::Cancelled:
        return Status::Fail(Reason::Cancelled);
    case WovenOutcome::WriteFailed:
        return Status::WriteFailure(output, result.error != 0 ? result.error : EIO);
    case WovenOutcome::NotOpened:
    case WovenOutcome::Damaged:
        break;
    }
    return Status::Fail(Reason::Damaged);
}

Status UnweaveStatus(const UnweaveResult& result, const std::string& picture) {
    switch (result.outcome) {
    case WovenOutcome::Ok:
        return Status::Success();
    case WovenOutcome::NotOpened:
    case WovenOutcome::TooSmall:
        return Status::Fail(Reason::WovenNotOpened, picture);
    case WovenOutcome::Refused:
        return CoverRefusal(result.cover, picture, result.error);
    case WovenOutcome::ReadFailed:
        return Status::Fail(Reason::ReadFailed, picture, result.error != 0 ? result.error : EIO);
    case WovenOutcome::NoMemory:
        return Status::Fail(Reason::NoMemoryForKey);
    case WovenOutcome::Cancelled:
        return Status::Fail(Reason::Cancelled);
    case WovenOutcome::Damaged:
    case WovenOutcome::WriteFailed:
    case WovenOutcome::OverCapacity:
    case WovenOutcome::OverLimit:
    case WovenOutcome::NoWay:
        break;
    }
    return Status::Fail(Reason::Damaged);
}

Status CapacityStatus(const WovenCapacityResult& result, const std::string& picture) {
    switch (result.outcome) {
    case WovenOutcome::Ok:
        return Status::Success();
    case WovenOutcome::TooSmall:
        return Status::Fail(Reason::PictureTooSmallToWeave, picture);
    case WovenOutcome::NoMemory:
        return Status::Fail(Reason::NoMemory);
    default:
        return CoverRefusal(result.outcome == WovenOutcome::Refused ? result.cover
                                                                    : CoverStatus::ReadFailed,
                            picture, result.error);
    }
}

} // namespace lumora
