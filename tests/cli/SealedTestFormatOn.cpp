// SPDX-License-Identifier: GPL-2.0-or-later
// Linked into the test build of lumora-cli only: switches the sealed format to the cheap
// test parameters before main runs, so end-to-end tests do not pay 256 MiB per key. The
// released program has no way to do this.
#include "crypt/SealedKey.h"

namespace {

const bool g_testFormatOn = [] {
    lumora::UseSealedTestFormat(true);
    return true;
}();

} // namespace
