// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/EntryDataReader.h"

namespace lumora {
namespace {

constexpr uLong kFlagEncrypted = 1u << 0;
constexpr uLong kFlagDataDescriptor = 1u << 3;
constexpr uLong kFlagStrongEncryption = 1u << 6;
constexpr int kMethodStored = 0;

} // namespace

EntryDataReader::~EntryDataReader() {
    if (m_inflating)
        inflateEnd(&m_stream);
    if (m_open)
        unzCloseCurrentFile(m_unz);
}

bool EntryDataReader::Open(const unz_file_info64& info,
                           const std::optional<std::string>& password) {
    m_method = static_cast<int>(info.compression_method);
    if (m_method != kMethodStored && m_method != Z_DEFLATED)
        return false;
    bool encrypted = (info.flag & kFlagEncrypted) != 0;
    if ((info.flag & kFlagStrongEncryption) != 0 || (encrypted && !password))
        return false;
    int method = 0;
    int level = 0;
    if (unzOpenCurrentFile3(m_unz, &method, &level, 1, nullptr) != UNZ_OK)
        return false;
    m_open = true;

    if (encrypted) {
        m_cipher.emplace(*password);
        uint8_t header[PkwareCipher::kHeaderSize];
        if (!ReadExactly(header, sizeof header))
            return false;
        uint8_t check = m_cipher->ReadHeader(header);
        // Writers that stream with a data descriptor do not know the CRC in advance and
        // take the check byte from the DOS time instead.
        bool crcCheck = check == static_cast<uint8_t>(info.crc >> 24);
        bool timeCheck = (info.flag & kFlagDataDescriptor) != 0 &&
                         check == static_cast<uint8_t>(info.dosDate >> 8);
        if (!crcCheck && !timeCheck)
            return false;
    }
    if (m_method == Z_DEFLATED) {
        if (inflateInit2(&m_stream, -MAX_WBITS) != Z_OK)
            return false;
        m_inflating = true;
    }
    return true;
}

long EntryDataReader::ReadRaw(uint8_t* out, size_t capacity) {
    int got = unzReadCurrentFile(m_unz, out, static_cast<unsigned>(capacity));
    if (got > 0 && m_cipher)
        m_cipher->Decrypt(out, static_cast<size_t>(got));
    return got < 0 ? -1 : got;
}

bool EntryDataReader::ReadExactly(uint8_t* out, size_t length) {
    while (length > 0) {
        int got = unzReadCurrentFile(m_unz, out, static_cast<unsigned>(length));
        if (got <= 0)
            return false;
        out += got;
        length -= static_cast<size_t>(got);
    }
    return true;
}

long EntryDataReader::Read(uint8_t* out, size_t capacity) {
    if (!m_open)
        return -1;
    if (m_method == kMethodStored)
        return ReadRaw(out, capacity);
    if (m_ended)
        return 0;
    m_stream.next_out = out;
    m_stream.avail_out = static_cast<uInt>(capacity);
    while (m_stream.avail_out > 0) {
        if (m_stream.avail_in == 0) {
            long got = ReadRaw(m_input.data(), m_input.size());
            // Compressed data that ends before the deflate stream does is damaged.
            if (got <= 0)
                return -1;
            m_stream.next_in = m_input.data();
            m_stream.avail_in = static_cast<uInt>(got);
        }
        int result = inflate(&m_stream, Z_NO_FLUSH);
        if (result == Z_STREAM_END) {
            m_ended = true;
            break;
        }
        if (result != Z_OK && result != Z_BUF_ERROR)
            return -1;
    }
    return static_cast<long>(capacity - m_stream.avail_out);
}

} // namespace lumora
