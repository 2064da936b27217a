// SPDX-License-Identifier: GPL-2.0-or-later
// Random letters for the names of temporary files and folders that must not be guessed.
#pragma once

#include <cstddef>
#include <string>

namespace lumora {

// `count` letters and digits from the system's random source.
std::string RandomLetters(size_t count);

} // namespace lumora
