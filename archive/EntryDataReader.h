// SPDX-License-Identifier: GPL-2.0-or-later
// Reads the data of the current entry: the stored data deciphered, and inflated when the
// entry is deflated.
#pragma once

#include "archive/CheckpointDecipher.h"
#include "archive/StoredDataReader.h"
#include "archive/StoredPrefetch.h"

#include <array>
#include <memory>
#include <zlib.h>

namespace lumora {

class EntryDataReader {
public:
    explicit EntryDataReader(unzFile unz) : m_stored(unz) {}
    ~EntryDataReader();
    EntryDataReader(const EntryDataReader&) = delete;
    EntryDataReader& operator=(const EntryDataReader&) = delete;

    // As StoredDataReader::Open. With prefetch, a deflated entry's stored data are read
    // and deciphered on a worker thread while this one inflates (StoredPrefetch). With the
    // writer's checkpoints of an encrypted entry they are deciphered in stretches
    // (CheckpointDecipher), on `threads` threads with prefetch, else on this one.
    EntryCheck Open(const unz_file_info64& info, const Password* password, bool prefetch = false,
                    std::span<const PkwareKeys> checkpoints = {}, int threads = 2);
    // Up to capacity bytes of entry data; 0 at the end, -1 on damaged data.
    [[nodiscard]] long Read(uint8_t* out, size_t capacity);

private:
    // The next piece of stored data for inflate; false on a read error.
    [[nodiscard]] bool FillInput();

    StoredDataReader m_stored;
    std::unique_ptr<StoredPrefetch> m_prefetch;      // after m_stored: stopped before it closes
    std::unique_ptr<CheckpointDecipher> m_stretches; // the same
    bool m_open = false;
    bool m_inflating = false;
    bool m_inputEnded = false;
    bool m_ended = false;
    bool m_deflated = false;
    z_stream m_stream{};
    std::array<uint8_t, 16384> m_input{};
};

} // namespace lumora
