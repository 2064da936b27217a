// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/GarbledEntry.h"

#include "archive/Unzipper.h"
#include "crypt/PayloadCrypt.h"
#include "engine/TrailerCodec.h"
#include "support/TestFiles.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace lumora::test {

bool GarbleEntry(const std::string& carrier, const std::string& password, const std::string& name,
                 int64_t at) {
    constexpr int64_t kSignatureSize = 32;
    std::vector<uint8_t> bytes = ReadFile(carrier);
    if (bytes.size() < kTrailerSize)
        return false;
    TrailerBytes tail{};
    std::copy(bytes.end() - kTrailerSize, bytes.end(), tail.begin());
    const CarrierTrailer trailer = DecodeTrailer(tail);
    const std::string plain = carrier + ".plain-archive";
    const int fd = ::open(carrier.c_str(), O_RDONLY | O_CLOEXEC);
    const DecryptResult decrypted = DecryptPayloadRange(
        fd, trailer.imageLength, trailer.payloadLength, plain.c_str(), Password(password));
    ::close(fd);
    if (decrypted != DecryptResult::Ok)
        return false;
    int64_t dataOffset = -1;
    {
        CUnzipper archive(plain);
        ZipEntryInfo info;
        for (int i = 0; archive.EntryInfoAt(i, info) == 1; ++i)
            if (info.storedName == name)
                dataOffset = static_cast<int64_t>(info.dataOffset);
    }
    std::remove(plain.c_str());
    const int64_t position = trailer.imageLength + kSignatureSize + dataOffset + at;
    if (dataOffset < 0 || position >= static_cast<int64_t>(bytes.size()) - kTrailerSize)
        return false;
    bytes[static_cast<size_t>(position)] ^= 0x20;
    WriteFile(carrier, bytes);
    return true;
}

} // namespace lumora::test
