// SPDX-License-Identifier: GPL-2.0-or-later
// The statuses of woven carriers' outcomes (engine/WovenCarrier.h), with the subject and the
// figures each reason is told with, for the session and for a program that asks a
// picture's capacity itself.
#pragma once

#include "engine/Outcome.h"
#include "engine/WovenCarrier.h"

#include <string>

namespace lumora {

// Why a picture cannot carry woven data at all, by what its reader found: a kind that is
// no JPEG, PNG or BMP, a palette, samples other than 8 bits. ReadFailed and NoMemory as
// they are; Success for Ok.
Status CoverRefusal(CoverStatus cover, const std::string& picture, int error = 0);

// The status of a weave into `picture`: Ok; the cover's refusal; PictureTooSmallToWeave;
// OverWovenCapacity or OverWovenLimit with the content and the bound; WovenNoWay;
// NoMemoryForKey, Cancelled, ReadFailed, WriteFailed (of `output`).
Status WeaveStatus(const WeaveResult& result, const std::string& picture,
                   const std::string& output);

// The status of an unweave of `picture`: Ok; WovenNotOpened for no woven data or another
// password (also a picture too small for any); Damaged; the cover's refusal; NoMemoryForKey,
// Cancelled, ReadFailed.
Status UnweaveStatus(const UnweaveResult& result, const std::string& picture);

// The status of a capacity question: Ok, the cover's refusal, PictureTooSmallToWeave,
// ReadFailed, NoMemory.
Status CapacityStatus(const WovenCapacityResult& result, const std::string& picture);

} // namespace lumora
