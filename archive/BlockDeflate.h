// SPDX-License-Identifier: GPL-2.0-or-later
// Deflates new entries on the worker pool. Each entry's bytes are cut into blocks of a
// fixed input size; a block is deflated on its own (level 9, raw, window bits 15, memory
// level 8), primed with the 32 KiB before it as dictionary, and ended with a sync flush,
// the entry's last block with the stream's end. A block that cannot shrink is stored as
// it is, without zlib's search (IncompressibleBlock.h). The blocks' outputs, one after
// the other, are one valid raw deflate stream, which any inflater reads. The cut and
// what is stored do not depend on the number of threads, so an archive's bytes do not
// either.
//
// The encryption header of an entry needs the CRC-32 of all its bytes before its first
// byte is written, so each entry is read twice: a CRC pass (in ranges on the pool, joined
// with crc32_combine), then the blocks. The blocks' own CRCs, joined, must give the same
// value; a file that changed between the two reads fails instead of carrying a wrong check.
//
// One thread (the caller's) hands the outputs to a sink in order: it starts and ends the
// entries and may encipher in place. A bounded number of blocks is in flight, so memory
// does not grow with the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lumora {

inline constexpr size_t kDeflateBlockSize = 128 * 1024;
inline constexpr size_t kDeflateDictionarySize = 32 * 1024;

// The bytes of one new entry: a regular file read by position, or bytes in memory.
class EntrySource {
public:
    // Borrows size bytes at data.
    EntrySource(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    // Takes an open descriptor of a regular file of the given size.
    EntrySource(int fd, uint64_t size) : m_fd(fd), m_size(size) {}
    ~EntrySource();
    EntrySource(const EntrySource&) = delete;
    EntrySource& operator=(const EntrySource&) = delete;

    uint64_t Size() const { return m_size; }
    // Reads exactly length bytes at offset; false with errno on a read error or when the
    // file ends early (errno 0 then: it shrank).
    [[nodiscard]] bool ReadExactly(uint64_t offset, uint8_t* out, size_t length) const;
    // True when nothing follows the first Size() bytes (a file may have grown since).
    bool EndsAtSize() const;

private:
    const uint8_t* m_data = nullptr;
    int m_fd = -1;
    uint64_t m_size = 0;
};

// Takes the deflated entries, in order, on the caller's thread.
class DeflateSink {
public:
    virtual ~DeflateSink() = default;
    // Entry number `entry` starts; crc is the CRC-32 of all its bytes.
    [[nodiscard]] virtual bool BeginEntry(size_t entry, uint32_t crc) = 0;
    // The next piece of the current entry's deflate stream; the sink may change the bytes.
    [[nodiscard]] virtual bool WriteDeflated(uint8_t* data, size_t length) = 0;
    // The current entry ended after size bytes whose CRC-32 is crc.
    [[nodiscard]] virtual bool EndEntry(size_t entry, uint64_t size, uint32_t crc) = 0;
    // Bytes of all entries deflated and written so far; false stops the work (cancelled).
    [[nodiscard]] virtual bool Progress(uint64_t done) = 0;
};

enum class DeflateFailure {
    None,
    ReadFailed,  // a source could not be read (error holds errno)
    Changed,     // a source changed between its CRC pass and its blocks
    WriteFailed, // the sink refused (BeginEntry, WriteDeflated or EndEntry gave false)
    Cancelled,   // Progress gave false
    Failed,      // deflate failed or memory ran out
};

struct DeflateResult {
    DeflateFailure failure = DeflateFailure::None;
    size_t entry = 0; // the entry that failed
    int error = 0;
    bool Ok() const { return failure == DeflateFailure::None; }
};

// Deflates every source into sink, in order, on up to `threads` threads (0: the default,
// see WorkerPool.h). Nothing runs any more when it returns.
[[nodiscard]] DeflateResult DeflateEntries(const std::vector<const EntrySource*>& sources,
                                           DeflateSink& sink, int threads);

// Room that DeflateBlock needs for length bytes of input.
size_t DeflateBlockBound(size_t length);
// Deflates (or stores) one block as described above: dictionary (up to 32 KiB, may be empty), then
// input; last ends the stream. Writes to out (DeflateBlockBound(length) bytes) and gives
// the output's length, 0 on failure. The same bytes for the same arguments on any thread.
size_t DeflateBlock(const uint8_t* dictionary, size_t dictionaryLength, const uint8_t* input,
                    size_t length, bool last, uint8_t* out);

} // namespace lumora
