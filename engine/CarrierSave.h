// SPDX-License-Identifier: GPL-2.0-or-later
// The save of a carrier session, for a hide (from an opened carrier) and a re-save (from
// an unlocked one) alike: the request's checks, the key derivations, the new content, the
// read-back of what was written, and the replacing of the destination. Internal to the
// session; OpenedCarrier::Hide and UnlockedCarrier::Save are its doors.
#pragma once

#include "engine/Outcome.h"
#include "engine/SaveRequest.h"

#include <string>

namespace lumora {

struct CarrierCore;

// What a save refuses in request before it does anything (UnlockedCarrier::CheckRequest).
[[nodiscard]] Status CheckSaveRequest(const CarrierCore& core, const SaveRequest& request);

// The picture whose sealed data a sealed hide cuts off: the file of a core that nothing
// has unlocked, when it may hold sealed data; empty otherwise.
std::string PictureForSealedSave(const CarrierCore& core);

// The password a save writes under: the request's new one, else the carrier's; null for
// none.
const Password* SavePassword(const CarrierCore& core, const SaveRequest& request);
// The entry name a new file is hidden under: the one asked for, else its file name.
std::string NewEntryName(const AddedFile& file);

// Saves request with core: on success core stands for the carrier just written, unlocked
// under the password it was saved with (UnlockedCarrier::Save tells the failures). The
// request is taken by value so that a caller can move a large message in.
[[nodiscard]] Status SaveCarrier(CarrierCore& core, SaveRequest request);

} // namespace lumora
