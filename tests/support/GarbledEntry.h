// SPDX-License-Identifier: GPL-2.0-or-later
// Damage to one hidden entry of a classic carrier, as a bad disk block would do it.
#pragma once

#include <cstdint>
#include <string>

namespace lumora::test {

// Flips one bit of the carrier's ciphertext, in place, so that the 16-byte block of the
// payload archive holding byte `at` of the entry named `name` (as stored) deciphers to
// garbage: 0 to 11 lie in its encryption header (11 is the check byte), 12 on in its
// data. With several entries of that name, the last is garbled. False when the carrier
// does not open under password or has no such entry.
bool GarbleEntry(const std::string& carrier, const std::string& password, const std::string& name,
                 int64_t at);

} // namespace lumora::test
