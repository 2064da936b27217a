// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/FormatPart.h"

#include "engine/CarrierCore.h"

namespace lumora {
namespace {

bool WovenKind(PictureKind kind) {
    return kind == PictureKind::Jpeg || kind == PictureKind::Png || kind == PictureKind::Bmp;
}

} // namespace

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
