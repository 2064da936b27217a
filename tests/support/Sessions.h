// SPDX-License-Identifier: GPL-2.0-or-later
// Opening and unlocking carriers through the carrier session, as the tests do it again
// and again.
#pragma once

#include "engine/OpenedCarrier.h"
#include "engine/UnlockedCarrier.h"

#include <memory>
#include <string>

namespace lumora::test {

// The carrier at path, opened; null when it cannot be.
std::unique_ptr<OpenedCarrier> OpenAt(const std::string& path);

// Opens path and unlocks it with password, reading from the carrier itself with
// fromCarrier: the status of the step that failed, or Ok with the carrier in `unlocked`.
Status UnlockAt(const std::string& path, const std::string& password,
                std::unique_ptr<UnlockedCarrier>& unlocked,
                ProofTiming timing = ProofTiming::AtUnlock, bool fromCarrier = false);

} // namespace lumora::test
