// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/StoredDataReader.h"

#include <algorithm>
#include <zlib.h>

namespace lumora {

EntryCheck CheckMethod(const unz_file_info64& info) {
    bool known = info.compression_method == kMethodStored || info.compression_method == Z_DEFLATED;
    return known && (info.flag & kFlagStrongEncryption) == 0 ? EntryCheck::Ok
                                                             : EntryCheck::Unsupported;
}

StoredDataReader::~StoredDataReader() {
    if (m_open)
        unzCloseCurrentFile(m_unz);
}

EntryCheck StoredDataReader::Open(const unz_file_info64& info, const Password* password, Mode mode,
                                  bool checkByte) {
    if (EntryCheck method = CheckMethod(info); method != EntryCheck::Ok)
        return method;
    bool encrypted = (info.flag & kFlagEncrypted) != 0;
    if (encrypted && password == nullptr)
        return EntryCheck::WrongPassword;
    int method = 0;
    int level = 0;
    if (unzOpenCurrentFile3(m_unz, &method, &level, 1, nullptr) != UNZ_OK)
        return EntryCheck::Damaged;
    m_open = true;
    m_mode = mode;
    if (!encrypted)
        return EntryCheck::Ok;

    if (!ReadExactly(m_header, sizeof m_header))
        return EntryCheck::Damaged;
    m_cipher.emplace(*password);
    uint8_t header[PkwareCipher::kHeaderSize];
    std::copy_n(m_header, sizeof header, header);
    uint8_t check = m_cipher->ReadHeader(header);
    // Writers that stream with a data descriptor do not know the CRC in advance and take
    // the check byte from the DOS time instead.
    bool crcCheck = check == static_cast<uint8_t>(info.crc >> 24);
    bool timeCheck =
        (info.flag & kFlagDataDescriptor) != 0 && check == static_cast<uint8_t>(info.dosDate >> 8);
    if (!crcCheck && !timeCheck && checkByte)
        return EntryCheck::WrongPassword;
    if (mode == Mode::AsStored)
        m_cipher.reset();
    return EntryCheck::Ok;
}

std::vector<uint8_t> StoredDataReader::LocalExtra() const {
    int size = m_open ? unzGetLocalExtrafield(m_unz, nullptr, 0) : 0;
    std::vector<uint8_t> extra(size > 0 ? static_cast<size_t>(size) : 0);
    if (!extra.empty() &&
        unzGetLocalExtrafield(m_unz, extra.data(), static_cast<unsigned>(extra.size())) != size)
        extra.clear();
    return extra;
}

long StoredDataReader::Read(uint8_t* out, size_t capacity) {
    if (!m_open)
        return -1;
    int got = unzReadCurrentFile(m_unz, out, static_cast<unsigned>(capacity));
    if (got > 0 && m_cipher)
        m_cipher->Decrypt(out, static_cast<size_t>(got));
    return got < 0 ? -1 : got;
}

long StoredDataReader::ReadAsStored(uint8_t* out, size_t capacity) {
    if (!m_open)
        return -1;
    int got = unzReadCurrentFile(m_unz, out, static_cast<unsigned>(capacity));
    return got < 0 ? -1 : got;
}

bool StoredDataReader::ReadExactly(uint8_t* out, size_t length) {
    while (length > 0) {
        int got = unzReadCurrentFile(m_unz, out, static_cast<unsigned>(length));
        if (got <= 0)
            return false;
        out += got;
        length -= static_cast<size_t>(got);
    }
    return true;
}

} // namespace lumora
