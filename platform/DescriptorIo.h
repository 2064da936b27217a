// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <sys/types.h>

namespace lumora {

// Asked when a call was interrupted by a signal: true gives up (errno stays EINTR), false
// (or no check at all) tries again.
using StopOnSignal = bool (*)();

// Writes all `size` bytes to `fd`, past short writes and interruptions. False with errno
// set on failure (EIO when the descriptor took nothing).
[[nodiscard]] bool WriteAll(int fd, const void* data, size_t size, StopOnSignal stop = nullptr);

// Reads exactly `size` bytes from `fd`. False with errno set on failure, and with errno 0
// when the input ends first.
[[nodiscard]] bool ReadAll(int fd, void* data, size_t size, StopOnSignal stop = nullptr);

// ReadAll and WriteAll at a position, leaving the descriptor's own position alone.
[[nodiscard]] bool ReadAllAt(int fd, void* data, size_t size, uint64_t offset);
[[nodiscard]] bool WriteAllAt(int fd, const void* data, size_t size, uint64_t offset);

// Reads up to `size` bytes from `fd`: fewer only where the input ends first. The count
// read, or -1 with errno set on failure.
[[nodiscard]] ssize_t ReadUpTo(int fd, void* data, size_t size, StopOnSignal stop = nullptr);
// ReadUpTo at a position, leaving the descriptor's own position alone.
[[nodiscard]] ssize_t ReadUpToAt(int fd, void* data, size_t size, uint64_t offset);

// Called with what each read returned; false ends the reading.
using TakeBytes = std::function<bool(const char* data, size_t size)>;

// Reads `fd` until its input ends, handing the bytes of each read to `take` as they come.
// True when the input ended or `take` ended the reading; false with errno set when a read
// failed.
[[nodiscard]] bool ReadToEnd(int fd, const TakeBytes& take, StopOnSignal stop = nullptr);

} // namespace lumora
