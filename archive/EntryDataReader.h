// SPDX-License-Identifier: GPL-2.0-or-later
// Reads the data of the current entry through minizip's raw mode: checks and strips the
// encryption header, decrypts, and inflates deflated entries.
#pragma once

#include "archive/PkwareCipher.h"

#include <array>
#include <cstdint>
#include <minizip/unzip.h>
#include <optional>
#include <string>
#include <zlib.h>

namespace lumora {

class EntryDataReader {
public:
    explicit EntryDataReader(unzFile unz) : m_unz(unz) {}
    ~EntryDataReader();
    EntryDataReader(const EntryDataReader&) = delete;
    EntryDataReader& operator=(const EntryDataReader&) = delete;

    // Opens the current entry described by info; false for an encrypted entry without a
    // password or with a password whose check byte does not match, and for methods other
    // than stored and deflated.
    bool Open(const unz_file_info64& info, const std::optional<std::string>& password);
    // Up to capacity bytes of entry data; 0 at the end, -1 on damaged data.
    long Read(uint8_t* out, size_t capacity);

private:
    long ReadRaw(uint8_t* out, size_t capacity);
    bool ReadExactly(uint8_t* out, size_t length);

    unzFile m_unz;
    bool m_open = false;
    bool m_inflating = false;
    bool m_ended = false;
    int m_method = 0;
    std::optional<PkwareCipher> m_cipher;
    z_stream m_stream{};
    std::array<uint8_t, 2048> m_input{};
};

} // namespace lumora
