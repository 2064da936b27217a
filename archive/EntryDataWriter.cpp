// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/EntryDataWriter.h"

namespace lumora {

EntryDataWriter::EntryDataWriter(zipFile zip, const Password* password) : m_zip(zip) {
    if (password != nullptr)
        m_cipher.emplace(*password);
}

EntryDataWriter::~EntryDataWriter() {
    if (m_deflating)
        deflateEnd(&m_stream);
}

bool EntryDataWriter::Begin(uint32_t checkCrc) {
    if (deflateInit2(&m_stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    m_deflating = true;
    m_crc = static_cast<uint32_t>(crc32(0L, Z_NULL, 0));
    m_stream.next_out = m_output.data();
    m_stream.avail_out = static_cast<uInt>(m_output.size());
    if (!m_cipher)
        return true;
    uint8_t header[PkwareCipher::kHeaderSize];
    if (!m_cipher->MakeHeader(static_cast<uint8_t>(checkCrc >> 24), header))
        return false;
    return zipWriteInFileInZip(m_zip, header, sizeof header) == ZIP_OK;
}

bool EntryDataWriter::Write(const uint8_t* data, size_t length) {
    m_crc = static_cast<uint32_t>(crc32(m_crc, data, static_cast<uInt>(length)));
    m_size += length;
    m_stream.next_in = const_cast<Bytef*>(data);
    m_stream.avail_in = static_cast<uInt>(length);
    while (m_stream.avail_in > 0) {
        if (!DeflateInput())
            return false;
    }
    return true;
}

bool EntryDataWriter::Finish() {
    int result;
    do {
        result = deflate(&m_stream, Z_FINISH);
        if (result != Z_OK && result != Z_STREAM_END)
            return false;
        if (!FlushOutput())
            return false;
    } while (result != Z_STREAM_END);
    return true;
}

bool EntryDataWriter::DeflateInput() {
    int result = deflate(&m_stream, Z_NO_FLUSH);
    if (result != Z_OK && result != Z_BUF_ERROR)
        return false;
    return m_stream.avail_out > 0 || FlushOutput();
}

bool EntryDataWriter::FlushOutput() {
    auto used = static_cast<unsigned>(m_output.size() - m_stream.avail_out);
    if (used > 0) {
        if (m_cipher)
            m_cipher->Encrypt(m_output.data(), used);
        if (zipWriteInFileInZip(m_zip, m_output.data(), used) != ZIP_OK)
            return false;
    }
    m_stream.next_out = m_output.data();
    m_stream.avail_out = static_cast<uInt>(m_output.size());
    return true;
}

} // namespace lumora
