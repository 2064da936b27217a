// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>

namespace lumora::cli {

// TEXT as a JSON string literal, quotes included. Bytes that are not valid UTF-8 (names
// from foreign archives) become U+FFFD, so the output always parses.
std::string JsonString(const std::string& text);

} // namespace lumora::cli
