// SPDX-License-Identifier: GPL-2.0-or-later
// An archive that is no file of its own, read by position: a payload archive deciphered
// from its carrier as it is read, for one. Reads may come from several threads at once.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumora {

class ArchiveBytes {
public:
    virtual ~ArchiveBytes() = default;
    virtual uint64_t Size() const = 0;
    // Copies the length bytes at offset, which lie within Size, into out; false when they
    // cannot be read.
    [[nodiscard]] virtual bool ReadAt(uint64_t offset, uint8_t* out, size_t length) const = 0;
};

} // namespace lumora
