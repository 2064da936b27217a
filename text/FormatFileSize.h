// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace lumora {

// A byte count as text with decimal units: "%.2f GB" above 1000000000, "%.2f MB" above
// 1000000, "%.2f KB" above 1000, else "%d %s" with the caller's unit word (the interface
// passes its translated "Byte").
std::string FormatFileSize(int64_t size, const std::string& byteWord = "Byte");

} // namespace lumora
