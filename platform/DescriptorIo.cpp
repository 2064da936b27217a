// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/DescriptorIo.h"

#include <cerrno>
#include <sys/types.h>
#include <unistd.h>

namespace lumora {
namespace {

// Runs `step(done)` until `size` bytes are done. A step moving nothing ends it with
// errno `atZero`; an interrupted step is tried again unless `stop` says otherwise.
template <typename Step> bool Whole(size_t size, int atZero, StopOnSignal stop, Step step) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = step(done);
        if (n < 0 && errno == EINTR && (stop == nullptr || !stop()))
            continue;
        if (n < 0)
            return false;
        if (n == 0) {
            errno = atZero;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

bool WriteAll(int fd, const void* data, size_t size, StopOnSignal stop) {
    const char* bytes = static_cast<const char*>(data);
    return Whole(size, EIO, stop,
                 [&](size_t done) { return ::write(fd, bytes + done, size - done); });
}

bool ReadAll(int fd, void* data, size_t size, StopOnSignal stop) {
    char* bytes = static_cast<char*>(data);
    return Whole(size, 0, stop, [&](size_t done) { return ::read(fd, bytes + done, size - done); });
}

bool ReadAllAt(int fd, void* data, size_t size, uint64_t offset) {
    char* bytes = static_cast<char*>(data);
    return Whole(size, 0, nullptr, [&](size_t done) {
        return ::pread(fd, bytes + done, size - done, static_cast<off_t>(offset + done));
    });
}

bool WriteAllAt(int fd, const void* data, size_t size, uint64_t offset) {
    const char* bytes = static_cast<const char*>(data);
    return Whole(size, EIO, nullptr, [&](size_t done) {
        return ::pwrite(fd, bytes + done, size - done, static_cast<off_t>(offset + done));
    });
}

} // namespace lumora
