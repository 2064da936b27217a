// SPDX-License-Identifier: GPL-2.0-or-later
// The read-back of a carrier session's save (engine/CarrierSave.h), before the carrier
// written replaces its destination.
#pragma once

#include "engine/Outcome.h"
#include "engine/SaveRequest.h"

#include <cstdio>

namespace lumora {

class FormatPart;
struct CarrierCore;

// Opens what was just written to `written` as a carrier of its own, as `writer`'s format
// (a sealed one under key, without a derivation), and checks that it reveals what the
// save of request meant to write: the password, every entry's CRC, the names and the
// message. NotReadBack (subject: the destination) for whatever fails, Cancelled when the
// observer stopped it.
[[nodiscard]] Status ReadBack(CarrierCore& core, FILE* written, const SaveRequest& request,
                              FormatPart& writer, const SealedKey* key);

} // namespace lumora
