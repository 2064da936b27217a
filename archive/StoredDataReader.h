// SPDX-License-Identifier: GPL-2.0-or-later
// Reads the stored data of the current entry through minizip's raw mode: checks and strips
// the encryption header of an encrypted entry and deciphers what follows, or hands the
// bytes on as they are stored.
#pragma once

#include "archive/EntryCheck.h"
#include "archive/PkwareCipher.h"
#include "archive/ZipFormat.h"

#include <cstdint>
#include <minizip/unzip.h>
#include <optional>
#include <vector>

namespace lumora {

// Unsupported for methods other than stored and deflate and for strong encryption.
EntryCheck CheckMethod(const unz_file_info64& info);

class StoredDataReader {
public:
    enum class Mode { Deciphered, AsStored };

    explicit StoredDataReader(unzFile unz) : m_unz(unz) {}
    ~StoredDataReader();
    StoredDataReader(const StoredDataReader&) = delete;
    StoredDataReader& operator=(const StoredDataReader&) = delete;

    // Opens the current entry described by info. The encryption header of an encrypted
    // entry is read and its check byte compared (the CRC's high byte, or the DOS time's
    // when the entry has a data descriptor): WrongPassword when it does not match or there
    // is no password. Damaged when the entry cannot be opened or is shorter than its header.
    // With checkByte false, a check byte that fails is let pass: the entry is known damaged
    // and is to be carried as it is.
    EntryCheck Open(const unz_file_info64& info, const Password* password, Mode mode,
                    bool checkByte = true);
    // The encryption header as stored; only for an encrypted entry.
    const uint8_t* StoredHeader() const { return m_header; }
    // The local header's extra field; call after Open.
    std::vector<uint8_t> LocalExtra() const;
    // Up to capacity bytes of the data after the header; 0 at the end, -1 on a read error.
    [[nodiscard]] long Read(uint8_t* out, size_t capacity);
    // As Read, but not deciphered, for CheckpointDecipher; with the keys an encrypted entry
    // opened Deciphered had after its header.
    [[nodiscard]] long ReadAsStored(uint8_t* out, size_t capacity);
    PkwareKeys CipherKeys() const { return m_cipher ? m_cipher->Keys() : PkwareKeys{}; }

private:
    [[nodiscard]] bool ReadExactly(uint8_t* out, size_t length);

    unzFile m_unz;
    bool m_open = false;
    Mode m_mode = Mode::Deciphered;
    std::optional<PkwareCipher> m_cipher;
    uint8_t m_header[PkwareCipher::kHeaderSize] = {};
};

} // namespace lumora
