// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/ArchiveBytesIo.h"

#include <sodium.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace lumora {
namespace {

// minizip reads records field by field; a window keeps those reads off the source.
constexpr size_t kWindowSize = 4096;

struct Reader {
    explicit Reader(const ArchiveBytes& source) : bytes(source) {}
    ~Reader() { sodium_memzero(window, sizeof window); }

    const ArchiveBytes& bytes;
    uint64_t position = 0;
    uint64_t windowStart = 0;
    size_t windowLength = 0;
    bool failed = false;
    uint8_t window[kWindowSize];
};

voidpf ZCALLBACK OpenReader(voidpf, const void* source, int mode) {
    if (source == nullptr || (mode & ZLIB_FILEFUNC_MODE_WRITE) != 0)
        return nullptr;
    return new (std::nothrow) Reader(*static_cast<const ArchiveBytes*>(source));
}

uLong ZCALLBACK Read(voidpf, voidpf stream, void* buffer, uLong size) {
    Reader& reader = *static_cast<Reader*>(stream);
    const uint64_t total = reader.bytes.Size();
    if (reader.position >= total || size == 0)
        return 0;
    const size_t length = static_cast<size_t>(std::min<uint64_t>(size, total - reader.position));
    auto* out = static_cast<uint8_t*>(buffer);
    if (length >= kWindowSize) {
        if (!reader.bytes.ReadAt(reader.position, out, length)) {
            reader.failed = true;
            return 0;
        }
    } else {
        const bool inWindow = reader.position >= reader.windowStart &&
                              reader.position + length <= reader.windowStart + reader.windowLength;
        if (!inWindow) {
            reader.windowStart = reader.position;
            reader.windowLength =
                static_cast<size_t>(std::min<uint64_t>(kWindowSize, total - reader.position));
            if (!reader.bytes.ReadAt(reader.windowStart, reader.window, reader.windowLength)) {
                reader.windowLength = 0;
                reader.failed = true;
                return 0;
            }
        }
        std::memcpy(out, reader.window + (reader.position - reader.windowStart), length);
    }
    reader.position += length;
    return static_cast<uLong>(length);
}

uLong ZCALLBACK Write(voidpf, voidpf, const void*, uLong) {
    return 0;
}

ZPOS64_T ZCALLBACK Tell(voidpf, voidpf stream) {
    return static_cast<Reader*>(stream)->position;
}

long ZCALLBACK Seek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    Reader& reader = *static_cast<Reader*>(stream);
    uint64_t base = 0;
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET:
        break;
    case ZLIB_FILEFUNC_SEEK_CUR:
        base = reader.position;
        break;
    case ZLIB_FILEFUNC_SEEK_END:
        base = reader.bytes.Size();
        break;
    default:
        return -1;
    }
    // minizip steps back by an offset that wrapped below zero, as fseeko takes it signed.
    const auto step = static_cast<int64_t>(offset);
    const uint64_t next = base + offset;
    if (step >= 0 ? next < base : next > base)
        return -1;
    reader.position = next;
    return 0;
}

int ZCALLBACK Close(voidpf, voidpf stream) {
    delete static_cast<Reader*>(stream);
    return 0;
}

int ZCALLBACK Error(voidpf, voidpf stream) {
    return static_cast<Reader*>(stream)->failed ? -1 : 0;
}

} // namespace

zlib_filefunc64_def ArchiveBytesFunctions() {
    zlib_filefunc64_def functions{};
    functions.zopen64_file = OpenReader;
    functions.zread_file = Read;
    functions.zwrite_file = Write;
    functions.ztell64_file = Tell;
    functions.zseek64_file = Seek;
    functions.zclose_file = Close;
    functions.zerror_file = Error;
    return functions;
}

} // namespace lumora
