// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/TrailerCodec.h"

#include "platform/ByteOrder.h"

#include <cstring>

namespace lumora {
namespace {

void PutInt32(uint8_t* at, int32_t value) {
    StoreLittleEndian(at, static_cast<uint32_t>(value));
}

int32_t GetInt32(const uint8_t* at) {
    return static_cast<int32_t>(LoadLe32(at));
}

} // namespace

TrailerBytes EncodeTrailer(const CarrierTrailer& trailer) {
    TrailerBytes bytes{};
    std::memcpy(&bytes[0], trailer.checkRecord, 16);
    std::memcpy(&bytes[16], trailer.reserved1, 16);
    PutInt32(&bytes[32], trailer.filesTotalSize);
    PutInt32(&bytes[36], trailer.fileCount);
    PutInt32(&bytes[40], trailer.messageLength);
    std::memcpy(&bytes[44], trailer.reserved2, 4);
    PutInt32(&bytes[48], trailer.payloadLength);
    PutInt32(&bytes[52], trailer.imageLength);
    StoreLittleEndian(&bytes[56], trailer.version);
    std::memcpy(&bytes[58], trailer.magic, 2);
    return bytes;
}

CarrierTrailer DecodeTrailer(const TrailerBytes& bytes) {
    CarrierTrailer trailer{};
    std::memcpy(trailer.checkRecord, &bytes[0], 16);
    std::memcpy(trailer.reserved1, &bytes[16], 16);
    trailer.filesTotalSize = GetInt32(&bytes[32]);
    trailer.fileCount = GetInt32(&bytes[36]);
    trailer.messageLength = GetInt32(&bytes[40]);
    std::memcpy(trailer.reserved2, &bytes[44], 4);
    trailer.payloadLength = GetInt32(&bytes[48]);
    trailer.imageLength = GetInt32(&bytes[52]);
    trailer.version = LoadLe16(&bytes[56]);
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
