// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/TrailerCodec.h"

#include <cstring>

namespace lumora {
namespace {

void PutLittleEndian(uint8_t* at, uint32_t value, int width) {
    for (int i = 0; i < width; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetLittleEndian(const uint8_t* at, int width) {
    uint32_t value = 0;
    for (int i = 0; i < width; ++i)
        value |= static_cast<uint32_t>(at[i]) << (8 * i);
    return value;
}

} // namespace

TrailerBytes EncodeTrailer(const CarrierTrailer& trailer) {
    TrailerBytes bytes{};
    std::memcpy(&bytes[0], trailer.checkRecord, 16);
    std::memcpy(&bytes[16], trailer.reserved1, 16);
    PutLittleEndian(&bytes[32], static_cast<uint32_t>(trailer.filesTotalSize), 4);
    PutLittleEndian(&bytes[36], static_cast<uint32_t>(trailer.fileCount), 4);
    PutLittleEndian(&bytes[40], static_cast<uint32_t>(trailer.messageLength), 4);
    std::memcpy(&bytes[44], trailer.reserved2, 4);
    PutLittleEndian(&bytes[48], static_cast<uint32_t>(trailer.payloadLength), 4);
    PutLittleEndian(&bytes[52], static_cast<uint32_t>(trailer.imageLength), 4);
    PutLittleEndian(&bytes[56], trailer.version, 2);
    std::memcpy(&bytes[58], trailer.magic, 2);
    return bytes;
}

CarrierTrailer DecodeTrailer(const TrailerBytes& bytes) {
    CarrierTrailer trailer{};
    std::memcpy(trailer.checkRecord, &bytes[0], 16);
    std::memcpy(trailer.reserved1, &bytes[16], 16);
    trailer.filesTotalSize = static_cast<int32_t>(GetLittleEndian(&bytes[32], 4));
    trailer.fileCount = static_cast<int32_t>(GetLittleEndian(&bytes[36], 4));
    trailer.messageLength = static_cast<int32_t>(GetLittleEndian(&bytes[40], 4));
    std::memcpy(trailer.reserved2, &bytes[44], 4);
    trailer.payloadLength = static_cast<int32_t>(GetLittleEndian(&bytes[48], 4));
    trailer.imageLength = static_cast<int32_t>(GetLittleEndian(&bytes[52], 4));
    trailer.version = static_cast<uint16_t>(GetLittleEndian(&bytes[56], 2));
    std::memcpy(trailer.magic, &bytes[58], 2);
    return trailer;
}

bool TrailerFitsFile(const CarrierTrailer& trailer, int64_t fileSize) {
    if (trailer.magic[0] != 'V' || trailer.magic[1] != 'Z' || trailer.version != kTrailerVersion)
        return false;
    // Lengths that do not fit in the file come from a foreign or damaged trailer: such a
    // file carries nothing this program can read.
    const int64_t described = int64_t{trailer.imageLength} + trailer.payloadLength + kTrailerSize;
    return trailer.imageLength >= 0 && trailer.payloadLength >= 0 && described <= fileSize;
}

} // namespace lumora
