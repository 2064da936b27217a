// SPDX-License-Identifier: GPL-2.0-or-later
// Helpers of the cipher tests: hex text to bytes and back, and the text of a raised error.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace lumora::test {

std::vector<uint8_t> FromHex(const std::string& hex);
std::string ToHex(const uint8_t* bytes, size_t n);
inline std::string ToHex(const std::vector<uint8_t>& bytes) {
    return ToHex(bytes.data(), bytes.size());
}

// The message of the std::runtime_error that call raises, or "(no error)".
template <typename Call> std::string ErrorOf(Call&& call) {
    try {
        call();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "(no error)";
}

} // namespace lumora::test
