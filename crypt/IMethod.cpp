// SPDX-License-Identifier: GPL-2.0-or-later
#include "crypt/IMethod.h"

#include <cstring>
#include <stdexcept>

namespace lumora {

void IMethod::RequireInitialized() const {
    if (!m_bInitialized)
        throw std::runtime_error(kErrNotInitialized);
}

void IMethod::XorBlock(unsigned char* buf, const unsigned char* data) const {
    RequireInitialized();
    for (int i = 0; i < m_iBlockSize; ++i)
        buf[i] ^= data[i];
}

int IMethod::GetBlockSize() const {
    RequireInitialized();
    return m_iBlockSize;
}

size_t IMethod::PadBuffer(unsigned char* buf, size_t n) const {
    RequireInitialized();
    const size_t blockSize = static_cast<size_t>(m_iBlockSize);
    const size_t rest = n % blockSize;
    if (rest == 0)
        return n;
    const size_t added = blockSize - rest;
    int fill = 0;
    switch (m_iPadding) {
    case PAD_BLANKS:
        fill = ' ';
        break;
    case PAD_COUNT:
        fill = static_cast<int>(added);
        break;
    default:
        fill = 0;
        break;
    }
    std::memset(buf + n, fill, added);
    return n + added;
}

} // namespace lumora
