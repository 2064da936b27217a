// SPDX-License-Identifier: GPL-2.0-or-later
// Hex text to bytes and back, for test vectors.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lumora::test {

std::vector<uint8_t> FromHex(const std::string& hex);
std::string ToHex(const uint8_t* bytes, size_t n);
inline std::string ToHex(const std::vector<uint8_t>& bytes) {
    return ToHex(bytes.data(), bytes.size());
}

} // namespace lumora::test
