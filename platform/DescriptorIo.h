// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

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

} // namespace lumora
