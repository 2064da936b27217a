// SPDX-License-Identifier: GPL-2.0-or-later
// Reads the data of the current entry: the stored data deciphered, and inflated when the
// entry is deflated.
#pragma once

#include "archive/StoredDataReader.h"

#include <array>
#include <zlib.h>

namespace lumora {

class EntryDataReader {
public:
    explicit EntryDataReader(unzFile unz) : m_stored(unz) {}
    ~EntryDataReader();
    EntryDataReader(const EntryDataReader&) = delete;
    EntryDataReader& operator=(const EntryDataReader&) = delete;

    // As StoredDataReader::Open.
    EntryCheck Open(const unz_file_info64& info, const Password* password);
    // Up to capacity bytes of entry data; 0 at the end, -1 on damaged data.
    long Read(uint8_t* out, size_t capacity);

private:
    StoredDataReader m_stored;
    bool m_open = false;
    bool m_inflating = false;
    bool m_inputEnded = false;
    bool m_ended = false;
    bool m_deflated = false;
    z_stream m_stream{};
    std::array<uint8_t, 16384> m_input{};
};

} // namespace lumora
