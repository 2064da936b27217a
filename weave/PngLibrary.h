// SPDX-License-Identifier: GPL-2.0-or-later
// What libpng needs from us: error handling that never prints but jumps back to the
// caller, reads from a source and writes into a vector.
#pragma once

#include "picture/ByteSource.h"

#include <csetjmp>
#include <png.h>
#include <vector>

namespace lumora {

// The state of one libpng object's input, output and errors. The code that calls libpng
// sets `jump` with setjmp; every libpng error comes back there. Warnings are dropped.
struct PngChannel {
    std::jmp_buf jump{};
    const ByteSource* source = nullptr;
    uint64_t position = 0;
    std::vector<uint8_t>* out = nullptr;
    bool readFailed = false; // the source's read failed (not merely ended)
    bool noMemory = false;   // the output could not grow

    // A read struct over `from`, or nullptr when libpng cannot make one.
    png_structp MakeReader(const ByteSource& from);
    // A write struct into `into`, or nullptr.
    png_structp MakeWriter(std::vector<uint8_t>& into);
};

} // namespace lumora
