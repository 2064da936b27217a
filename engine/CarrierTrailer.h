// SPDX-License-Identifier: GPL-2.0-or-later
// The 60-byte record that closes every carrier file. Integers are little-endian.
#pragma once

#include <cstdint>

namespace lumora {

#pragma pack(push, 1)
struct CarrierTrailer {
    uint8_t checkRecord[16]; // checkPlaintext enciphered under the password; zero without one
    uint8_t reserved1[16];   // carried over from a source carrier; zero otherwise
    int32_t filesTotalSize;  // sum of the sizes of the listed files
    int32_t fileCount;       // number of listed files, the message not counted
    int32_t messageLength;   // bytes of the stored message without its NUL
    uint8_t reserved2[4];    // like reserved1
    int32_t payloadLength;   // bytes of the encrypted payload file
    int32_t imageLength;     // bytes of the image part
    uint16_t version;        // 1
    char magic[2];           // "VZ"
};
#pragma pack(pop)

static_assert(sizeof(CarrierTrailer) == 60, "the trailer is 60 bytes on disk");

constexpr int kTrailerSize = 60;
// Files of this size or more cannot be hidden: carrier offsets are signed 32-bit numbers.
inline constexpr int64_t kMaxCarrierSize = 0x7FFFFFFF;
constexpr uint16_t kTrailerVersion = 1;

} // namespace lumora
