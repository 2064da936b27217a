// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/FormatPart.h"

#include "engine/CarrierCore.h"

namespace lumora {

std::unique_ptr<FormatPart> PartToUnlock(const CarrierCore& core) {
    if (core.HoldsClassicData())
        return ClassicPart();
    if (core.MayHoldSealedData())
        return SealedPart();
    return nullptr;
}

std::unique_ptr<FormatPart> PartToWrite(CarrierFormat format) {
    switch (format) {
    case CarrierFormat::Classic:
        break;
    case CarrierFormat::Sealed:
        return SealedPart();
    }
    return ClassicPart();
}

} // namespace lumora
