// SPDX-License-Identifier: GPL-2.0-or-later
// The desktop program's words for the reasons of engine/Reason.h: the key of the frame's
// message that tells each one. For now each reason borrows the existing message closest
// to it; a "%s" in it is filled with the status's subject.
#pragma once

#include "engine/Reason.h"

namespace lumora {

const char* ReasonKey(Reason reason);

} // namespace lumora
