// SPDX-License-Identifier: GPL-2.0-or-later
#include "crypt/DoubleBuffering.h"

#include <cstring>
#include <fstream>
#include <stdexcept>

namespace lumora {

namespace {

bool IsOpen(const std::istream& stream) {
    const auto* file = dynamic_cast<const std::filebuf*>(stream.rdbuf());
    return stream.rdbuf() != nullptr && (file == nullptr || file->is_open());
}

} // namespace

CDoubleBuffering::CDoubleBuffering(std::istream& stream, unsigned char* buffer, int size,
                                   int dataLen)
    : m_rin(stream), m_iSize(size), m_iSize2(size / 2), m_iDataLen(dataLen), m_pcBuffer(buffer) {
    if (size % 2 != 0)
        throw std::runtime_error("m_iSize should be Even Number!");
    if (!IsOpen(stream) || stream.bad())
        throw std::runtime_error("Referenced File not Opened or in Bad State!");
    if (dataLen < 1 || dataLen > m_iSize2)
        throw std::runtime_error("Illegal Construction Data!");
    m_iEnd = ReadHalf(0);
}

int CDoubleBuffering::ReadHalf(int offset) {
    if (!m_rin.good())
        return 0;
    m_rin.read(reinterpret_cast<char*>(m_pcBuffer + offset), m_iSize2);
    return static_cast<int>(m_rin.gcount());
}

// A failed read counts as the end of the input; the caller can tell the two apart by the
// stream's bad state.
bool CDoubleBuffering::StreamEnded() const {
    return !m_rin.good();
}

int CDoubleBuffering::GetData(unsigned char* dst, int iDataLen) {
    const int n = iDataLen == -1 ? m_iDataLen : iDataLen;
    if (n < 1 || n > m_iSize2)
        throw std::runtime_error("CDoubleBuffering::GetData(): Illegal iDataLen!");
    if (m_bEOF)
        return 0;

    const int next = m_iCurPos + n;
    if (next < m_iEnd) {
        std::memcpy(dst, m_pcBuffer + m_iCurPos, static_cast<size_t>(n));
        m_iCurPos = next;
        return n;
    }

    if (StreamEnded()) {
        m_bEOF = true;
        const int rest = m_iEnd - m_iCurPos;
        std::memcpy(dst, m_pcBuffer + m_iCurPos, static_cast<size_t>(rest));
        return rest;
    }

    if (!m_bSecondHalf) {
        m_iEnd += ReadHalf(m_iSize2);
        if (next > m_iEnd) {
            m_bEOF = true;
            const int rest = m_iEnd - m_iCurPos;
            std::memcpy(dst, m_pcBuffer + m_iCurPos, static_cast<size_t>(rest));
            return rest;
        }
        std::memcpy(dst, m_pcBuffer + m_iCurPos, static_cast<size_t>(n));
        m_iCurPos = next;
        m_bSecondHalf = true;
        return n;
    }

    m_iEnd = ReadHalf(0);
    const int wrapped = next - m_iSize;
    const int tail = m_iSize - m_iCurPos;
    std::memcpy(dst, m_pcBuffer + m_iCurPos, static_cast<size_t>(tail));
    if (wrapped > m_iEnd) {
        m_bEOF = true;
        std::memcpy(dst + tail, m_pcBuffer, static_cast<size_t>(m_iEnd));
        return tail + m_iEnd;
    }
    std::memcpy(dst + tail, m_pcBuffer, static_cast<size_t>(n - tail));
    m_iCurPos = wrapped;
    m_bSecondHalf = false;
    return n;
}

} // namespace lumora
