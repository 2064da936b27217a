// SPDX-License-Identifier: GPL-2.0-or-later
// Bytes of a file or of memory, read at positions: the pictures are parsed through this so
// that a large file is never loaded whole, and a picture in memory needs no file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace lumora {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t Size() const = 0;
    // Reads exactly `size` bytes at `offset`. False when they are not all there (errno 0)
    // or the read failed (errno set).
    virtual bool ReadAt(uint64_t offset, void* data, size_t size) const = 0;

    // Numbers at a position, little- or big-endian; nothing when the bytes are not there.
    std::optional<uint8_t> U8At(uint64_t offset) const;
    std::optional<uint16_t> Le16At(uint64_t offset) const;
    std::optional<uint32_t> Le32At(uint64_t offset) const;
    std::optional<uint16_t> Be16At(uint64_t offset) const;
    std::optional<uint32_t> Be32At(uint64_t offset) const;
    // Up to `size` bytes from `offset`: fewer where the source ends first. Empty on a failed
    // read as well; errno tells the two apart.
    std::vector<uint8_t> HeadAt(uint64_t offset, size_t size) const;
};

// A file descriptor, read with pread: its own position is left alone. The size is taken
// once, when the source is made (-1 from fstat gives an empty source and `Failed()`).
class DescriptorSource final : public ByteSource {
public:
    explicit DescriptorSource(int fd);
    uint64_t Size() const override { return m_size; }
    bool ReadAt(uint64_t offset, void* data, size_t size) const override;
    bool Failed() const { return m_failed; }

private:
    int m_fd;
    uint64_t m_size = 0;
    bool m_failed = false;
};

// Bytes in memory, which must outlive the source.
class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const uint8_t> bytes) : m_bytes(bytes) {}
    uint64_t Size() const override { return m_bytes.size(); }
    bool ReadAt(uint64_t offset, void* data, size_t size) const override;

private:
    std::span<const uint8_t> m_bytes;
};

// Reads a source from front to back through a window of its own, for parsers that look at
// one byte at a time. A read past the end or a failed read leaves the cursor `Stopped()`;
// errno tells which (0 for the end).
class ByteCursor {
public:
    explicit ByteCursor(const ByteSource& source, uint64_t start = 0);
    uint64_t Position() const { return m_position; }
    bool Stopped() const { return m_stopped; }
    // The next byte, or nothing (and stopped) when there is none.
    std::optional<uint8_t> Next();
    // Moves to the next `value` at or after the position and true, or to the end and false.
    bool SkipTo(uint8_t value);
    void Skip(uint64_t count) { m_position += count; }
    void Seek(uint64_t position) { m_position = position; }

private:
    bool Fill();

    const ByteSource& m_source;
    std::vector<uint8_t> m_window;
    uint64_t m_windowStart = 0;
    size_t m_windowSize = 0;
    uint64_t m_position;
    bool m_stopped = false;
};

} // namespace lumora
