// SPDX-License-Identifier: GPL-2.0-or-later
// Feeds the data of one entry that minizip opened in raw mode: deflates it as a raw
// stream at level 9 and, with a password, encrypts it behind a 12-byte header.
#pragma once

#include "archive/PkwareCipher.h"

#include <array>
#include <cstdint>
#include <minizip/zip.h>
#include <optional>
#include <zlib.h>

namespace lumora {

class EntryDataWriter {
public:
    EntryDataWriter(zipFile zip, const Password* password); // null: no encryption
    ~EntryDataWriter();
    EntryDataWriter(const EntryDataWriter&) = delete;
    EntryDataWriter& operator=(const EntryDataWriter&) = delete;

    // Starts the stream; checkCrc is the CRC-32 the encryption header's check byte is
    // taken from.
    bool Begin(uint32_t checkCrc);
    bool Write(const uint8_t* data, size_t length);
    // Ends the deflate stream and writes what is still buffered.
    bool Finish();

    uint32_t Crc() const { return m_crc; }
    uint64_t Size() const { return m_size; }

private:
    bool DeflateInput();
    bool FlushOutput();

    zipFile m_zip;
    std::optional<PkwareCipher> m_cipher;
    z_stream m_stream{};
    bool m_deflating = false;
    uint32_t m_crc = 0;
    uint64_t m_size = 0;
    std::array<uint8_t, 16384> m_output{};
};

} // namespace lumora
