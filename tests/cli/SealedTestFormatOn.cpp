// SPDX-License-Identifier: GPL-2.0-or-later
// Linked into the test build of lumora-cli only: switches the sealed and woven formats to the
// cheap test parameters before main runs, so end-to-end tests do not pay 256 MiB per key.
// The released program has no way to do this.
#include "crypt/SealedKey.h"
#include "crypt/WovenKeys.h"

namespace {

const bool g_testFormatOn = [] {
    lumora::UseSealedTestFormat(true);
    lumora::UseWovenTestFormat(true);
    return true;
}();

} // namespace
