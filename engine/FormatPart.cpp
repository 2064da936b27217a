// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/FormatPart.h"

#include "engine/CarrierCore.h"

#include <algorithm>

namespace lumora {
namespace {

bool WovenKind(PictureKind kind) {
    return kind == PictureKind::Jpeg || kind == PictureKind::Png || kind == PictureKind::Bmp;
}

} // namespace

CarrierTrailer CountedSummary(const CarrierCore& core, int64_t imageLength, int64_t payloadLength) {
    const auto clamped = [](int64_t value) {
        return static_cast<int32_t>(std::clamp<int64_t>(value, 0, kMaxCarrierSize));
    };
    int64_t filesSize = 0;
    for (const HiddenEntry& entry : core.entries)
        filesSize += entry.size;
    CarrierTrailer summary{};
    summary.imageLength = clamped(imageLength);
    summary.payloadLength = clamped(payloadLength);
    summary.messageLength = clamped(core.messageLength);
    summary.fileCount = clamped(static_cast<int64_t>(core.entries.size()));
    summary.filesTotalSize = clamped(filesSize);
    return summary;
}

DataToTry DataToTryIn(const CarrierCore& core) {
    if (core.HoldsClassicData())
        return DataToTry::Classic;
    FILE* file = core.engine->CarrierFile();
    if (file == nullptr)
        return DataToTry::None;
    const PictureLayout& picture = core.picture;
    const bool endsWithFile = picture.end.status == EndStatus::Found && !picture.HasTrailingBytes();
    if (endsWithFile)
        return WovenKind(picture.kind) ? DataToTry::Woven : DataToTry::None;
    return SealedSizeFits(StreamSize(file)) ? DataToTry::Sealed : DataToTry::None;
}

std::unique_ptr<FormatPart> PartToUnlock(const CarrierCore& core) {
    switch (DataToTryIn(core)) {
    case DataToTry::Classic:
        return ClassicPart();
    case DataToTry::Sealed:
        return SealedPart();
    case DataToTry::Woven:
        return WovenPart(false);
    case DataToTry::None:
        break;
    }
    return nullptr;
}

std::unique_ptr<FormatPart> PartToWrite(CarrierFormat format, bool overCapacity,
                                        WovenKeys* keysAhead) {
    switch (format) {
    case CarrierFormat::Classic:
        break;
    case CarrierFormat::Sealed:
        return SealedPart();
    case CarrierFormat::Woven:
        return WovenPart(overCapacity, keysAhead);
    }
    return ClassicPart();
}

} // namespace lumora
