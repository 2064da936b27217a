// SPDX-License-Identifier: GPL-2.0-or-later
#include "CryptTestUtil.h"

#include <stdexcept>

namespace lumora::test {

std::vector<uint8_t> FromHex(const std::string& hex) {
    if (hex.size() % 2 != 0)
        throw std::invalid_argument("odd hex length: " + hex);
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < hex.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::string ToHex(const uint8_t* bytes, size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (size_t i = 0; i < n; ++i) {
        hex += digits[bytes[i] >> 4];
        hex += digits[bytes[i] & 15];
    }
    return hex;
}

} // namespace lumora::test
