// SPDX-License-Identifier: GPL-2.0-or-later
// CDoubleBuffering: hands out an input stream in chunks through a caller's buffer used as
// two halves. A half is refilled only when a request reaches the end of the valid bytes,
// and only the half that holds no undelivered bytes, so every byte is delivered exactly
// once, in stream order. Neither the stream nor the buffer is owned.
#pragma once

#include <istream>

namespace lumora {

class CDoubleBuffering {
public:
    // Reads the first half at once. size must be even, 1 <= dataLen <= size / 2, and the
    // stream open and not in the bad state.
    CDoubleBuffering(std::istream& stream, unsigned char* buffer, int size, int dataLen);

    // Copies the next iDataLen bytes (-1: the dataLen given at construction) to dst and
    // returns their number: iDataLen while enough input remains, then the rest, then 0.
    [[nodiscard]] int GetData(unsigned char* dst, int iDataLen = -1);

private:
    // Reads up to m_iSize2 bytes into the buffer at offset; returns the number read.
    [[nodiscard]] int ReadHalf(int offset);
    bool StreamEnded() const;

    std::istream& m_rin;
    int m_iSize;
    int m_iSize2;
    int m_iDataLen;
    int m_iCurPos = 0;
    int m_iEnd = 0;
    bool m_bSecondHalf = false;
    unsigned char* m_pcBuffer;
    bool m_bEOF = false;
};

} // namespace lumora
