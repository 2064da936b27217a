// SPDX-License-Identifier: GPL-2.0-or-later
// The trailer's 60 bytes on disk, little-endian whatever the machine's byte order.
#pragma once

#include "engine/CarrierTrailer.h"

#include <array>
#include <cstdint>

namespace lumora {

using TrailerBytes = std::array<uint8_t, kTrailerSize>;

TrailerBytes EncodeTrailer(const CarrierTrailer& trailer);
CarrierTrailer DecodeTrailer(const TrailerBytes& bytes);

// Whether a trailer closes a carrier of fileSize bytes that this program can read: magic
// "VZ", version 1, and image part and payload that fit in front of it.
bool TrailerFitsFile(const CarrierTrailer& trailer, int64_t fileSize);

} // namespace lumora
