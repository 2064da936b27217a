// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/DescriptorIo.h"

#include <cerrno>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

namespace lumora {
namespace {

constexpr size_t kReadPiece = 64 * 1024;

// Runs `step(done)` until `size` bytes are done or a step moves nothing. The count done, or
// -1 when a step failed; an interrupted step is tried again unless `stop` says otherwise.
template <typename Step> ssize_t Repeat(size_t size, StopOnSignal stop, Step step) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = step(done);
        if (n < 0 && errno == EINTR && (stop == nullptr || !stop()))
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

// Whether `done` is the whole `size`; a short count sets errno to `atShort`.
bool Whole(ssize_t done, size_t size, int atShort) {
    if (done < 0)
        return false;
    if (static_cast<size_t>(done) < size) {
        errno = atShort;
        return false;
    }
    return true;
}

} // namespace

bool WriteAll(int fd, const void* data, size_t size, StopOnSignal stop) {
    const char* bytes = static_cast<const char*>(data);
    return Whole(
        Repeat(size, stop, [&](size_t done) { return ::write(fd, bytes + done, size - done); }),
        size, EIO);
}

bool ReadAll(int fd, void* data, size_t size, StopOnSignal stop) {
    return Whole(ReadUpTo(fd, data, size, stop), size, 0);
}

bool ReadAllAt(int fd, void* data, size_t size, uint64_t offset) {
    return Whole(ReadUpToAt(fd, data, size, offset), size, 0);
}

bool WriteAllAt(int fd, const void* data, size_t size, uint64_t offset) {
    const char* bytes = static_cast<const char*>(data);
    return Whole(Repeat(size, nullptr,
                        [&](size_t done) {
                            return ::pwrite(fd, bytes + done, size - done,
                                            static_cast<off_t>(offset + done));
                        }),
                 size, EIO);
}

ssize_t ReadUpTo(int fd, void* data, size_t size, StopOnSignal stop) {
    char* bytes = static_cast<char*>(data);
    return Repeat(size, stop, [&](size_t done) { return ::read(fd, bytes + done, size - done); });
}

ssize_t ReadUpToAt(int fd, void* data, size_t size, uint64_t offset) {
    char* bytes = static_cast<char*>(data);
    return Repeat(size, nullptr, [&](size_t done) {
        return ::pread(fd, bytes + done, size - done, static_cast<off_t>(offset + done));
    });
}

bool ReadToEnd(int fd, const TakeBytes& take, StopOnSignal stop) {
    std::vector<char> piece(kReadPiece);
    for (;;) {
        const ssize_t n = ::read(fd, piece.data(), piece.size());
        if (n < 0 && errno == EINTR && (stop == nullptr || !stop()))
            continue;
        if (n < 0)
            return false;
        if (n == 0 || !take(piece.data(), static_cast<size_t>(n)))
            return true;
    }
}

} // namespace lumora
