// SPDX-License-Identifier: GPL-2.0-or-later
// What libpng needs from us: error handling that never prints but jumps back to the
// caller, reads from a source, and writes that keep only the IDAT chunks of what libpng
// makes.
#pragma once

#include "picture/ByteSource.h"

#include <array>
#include <csetjmp>
#include <functional>
#include <png.h>

namespace lumora {

// Takes a PNG stream in pieces of any size and hands on the bytes of its IDAT chunks
// (length, type, data and CRC), dropping the signature and every other chunk.
class IdatFilter {
public:
    // Takes bytes on; false stops the stream.
    using Sink = std::function<bool(const uint8_t* data, size_t size)>;

    explicit IdatFilter(Sink sink) : m_sink(std::move(sink)) {}
    // False when the sink refused bytes.
    bool Put(const uint8_t* data, size_t size);

private:
    Sink m_sink;
    size_t m_signatureLeft = 8;
    std::array<uint8_t, 8> m_header{}; // a chunk's length and type
    size_t m_headerHave = 0;
    uint64_t m_chunkLeft = 0; // data and CRC of the chunk under way
    bool m_passing = false;
};

// The state of one libpng object's input, output and errors. The code that calls libpng
// sets `jump` with setjmp; every libpng error comes back there. Warnings are dropped.
struct PngChannel {
    std::jmp_buf jump{};
    const ByteSource* source = nullptr;
    uint64_t position = 0;
    IdatFilter* out = nullptr;
    bool readFailed = false; // the source's read failed (not merely ended)

    // A read struct over `from`, or nullptr when libpng cannot make one.
    png_structp MakeReader(const ByteSource& from);
    // A write struct whose output goes through `into`, or nullptr.
    png_structp MakeWriter(IdatFilter& into);
};

} // namespace lumora
