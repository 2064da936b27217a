// SPDX-License-Identifier: GPL-2.0-or-later
#include "picture/ByteSource.h"

#include "platform/ByteOrder.h"
#include "platform/DescriptorIo.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace lumora {
namespace {

constexpr size_t kCursorWindow = 64 * 1024;

// The number of sizeof(T) bytes at `offset`, read by `load`.
template <typename T>
std::optional<T> NumberAt(const ByteSource& source, uint64_t offset, T (*load)(const uint8_t*)) {
    std::array<uint8_t, sizeof(T)> bytes{};
    if (!source.ReadAt(offset, bytes.data(), bytes.size()))
        return std::nullopt;
    return load(bytes.data());
}

uint8_t LoadByte(const uint8_t* bytes) {
    return *bytes;
}

} // namespace

std::optional<uint8_t> ByteSource::U8At(uint64_t offset) const {
    return NumberAt(*this, offset, LoadByte);
}

std::optional<uint16_t> ByteSource::Le16At(uint64_t offset) const {
    return NumberAt(*this, offset, LoadLe16);
}

std::optional<uint32_t> ByteSource::Le32At(uint64_t offset) const {
    return NumberAt(*this, offset, LoadLe32);
}

std::optional<uint16_t> ByteSource::Be16At(uint64_t offset) const {
    return NumberAt(*this, offset, LoadBe16);
}

std::optional<uint32_t> ByteSource::Be32At(uint64_t offset) const {
    return NumberAt(*this, offset, LoadBe32);
}

std::vector<uint8_t> ByteSource::HeadAt(uint64_t offset, size_t size) const {
    const uint64_t available = offset < Size() ? Size() - offset : 0;
    std::vector<uint8_t> bytes(static_cast<size_t>(std::min<uint64_t>(size, available)));
    if (!bytes.empty() && !ReadAt(offset, bytes.data(), bytes.size()))
        bytes.clear();
    return bytes;
}

DescriptorSource::DescriptorSource(int fd) : m_fd(fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_size < 0)
        m_failed = true;
    else
        m_size = static_cast<uint64_t>(st.st_size);
}

bool DescriptorSource::ReadAt(uint64_t offset, void* data, size_t size) const {
    if (offset > m_size || size > m_size - offset) {
        errno = 0;
        return false;
    }
    return ReadAllAt(m_fd, data, size, offset);
}

bool MemorySource::ReadAt(uint64_t offset, void* data, size_t size) const {
    if (offset > m_bytes.size() || size > m_bytes.size() - offset) {
        errno = 0;
        return false;
    }
    if (size > 0)
        std::memcpy(data, m_bytes.data() + offset, size);
    return true;
}

ByteCursor::ByteCursor(const ByteSource& source, uint64_t start)
    : m_source(source), m_position(start) {}

bool ByteCursor::Fill() {
    const uint64_t size = m_source.Size();
    if (m_position >= size) {
        errno = 0;
        return false;
    }
    if (m_window.empty())
        m_window.resize(kCursorWindow);
    const size_t count = static_cast<size_t>(std::min<uint64_t>(kCursorWindow, size - m_position));
    if (!m_source.ReadAt(m_position, m_window.data(), count))
        return false;
    m_windowStart = m_position;
    m_windowSize = count;
    return true;
}

std::optional<uint8_t> ByteCursor::Next() {
    if (m_stopped)
        return std::nullopt;
    if (m_position < m_windowStart || m_position - m_windowStart >= m_windowSize) {
        if (!Fill()) {
            m_stopped = true;
            return std::nullopt;
        }
    }
    return m_window[static_cast<size_t>(m_position++ - m_windowStart)];
}

bool ByteCursor::SkipTo(uint8_t value) {
    while (!m_stopped) {
        if (m_position < m_windowStart || m_position - m_windowStart >= m_windowSize) {
            if (!Fill()) {
                m_stopped = true;
                return false;
            }
        }
        const size_t at = static_cast<size_t>(m_position - m_windowStart);
        const void* found = std::memchr(m_window.data() + at, value, m_windowSize - at);
        if (found != nullptr) {
            m_position = m_windowStart +
                         static_cast<size_t>(static_cast<const uint8_t*>(found) - m_window.data());
            return true;
        }
        m_position = m_windowStart + m_windowSize;
    }
    return false;
}

} // namespace lumora
