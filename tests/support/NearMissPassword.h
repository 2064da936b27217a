// SPDX-License-Identifier: GPL-2.0-or-later
// Passwords that pass every check short of reading a hidden file whole.
#pragma once

#include <string>

namespace lumora::test {

// For a classic carrier of one hidden file and no message, under `right`: a password that
// starts with the first 32 bytes of `right` (so it makes the same key) and passes the
// file's check byte, so that it looks right until the file is read whole. Empty when none
// turned up in the tries.
std::string NearMissPassword(const std::string& carrier, const std::string& right);

} // namespace lumora::test
