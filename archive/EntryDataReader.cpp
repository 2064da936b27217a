// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/EntryDataReader.h"

namespace lumora {

EntryDataReader::~EntryDataReader() {
    if (m_inflating)
        inflateEnd(&m_stream);
}

EntryCheck EntryDataReader::Open(const unz_file_info64& info, const Password* password,
                                 bool prefetch, std::span<const PkwareKeys> checkpoints,
                                 int threads) {
    EntryCheck opened = m_stored.Open(info, password, StoredDataReader::Mode::Deciphered);
    if (opened != EntryCheck::Ok)
        return opened;
    m_deflated = info.compression_method == Z_DEFLATED;
    if (m_deflated) {
        if (inflateInit2(&m_stream, -MAX_WBITS) != Z_OK)
            return EntryCheck::Damaged;
        m_inflating = true;
        const bool encrypted = (info.flag & kFlagEncrypted) != 0;
        if (encrypted && !checkpoints.empty())
            m_stretches =
                std::make_unique<CheckpointDecipher>(m_stored, checkpoints, prefetch ? threads : 1);
        else if (prefetch)
            m_prefetch = std::make_unique<StoredPrefetch>(m_stored);
    }
    m_open = true;
    return EntryCheck::Ok;
}

long EntryDataReader::Read(uint8_t* out, size_t capacity) {
    if (!m_open)
        return -1;
    if (!m_deflated)
        return m_stored.Read(out, capacity);
    if (m_ended)
        return 0;
    m_stream.next_out = out;
    m_stream.avail_out = static_cast<uInt>(capacity);
    while (m_stream.avail_out > 0) {
        if (m_stream.avail_in == 0 && !m_inputEnded && !FillInput())
            return -1;
        // Inflate can hold much more output than its input gives (a long run of one byte),
        // so it is called until it makes no progress, also after the input has ended.
        int result = inflate(&m_stream, Z_NO_FLUSH);
        if (result == Z_STREAM_END) {
            m_ended = true;
            break;
        }
        // Stuck with all input used: the stored data ends before the deflate stream does.
        bool starved = result == Z_BUF_ERROR && m_stream.avail_in == 0 && m_inputEnded;
        if (starved || (result != Z_OK && result != Z_BUF_ERROR))
            return -1;
    }
    return static_cast<long>(capacity - m_stream.avail_out);
}

bool EntryDataReader::FillInput() {
    const uint8_t* data = m_input.data();
    const long got = m_stretches  ? m_stretches->Next(data)
                     : m_prefetch ? m_prefetch->Next(data)
                                  : m_stored.Read(m_input.data(), m_input.size());
    if (got < 0)
        return false;
    m_inputEnded = got == 0;
    m_stream.next_in = const_cast<Bytef*>(data);
    m_stream.avail_in = static_cast<uInt>(got);
    return true;
}

} // namespace lumora
