// SPDX-License-Identifier: GPL-2.0-or-later
// The millisecond tick counter used to name working folders and temporary files.
#pragma once

#include <cstdint>
#include <functional>

namespace lumora {

// CLOCK_MONOTONIC in milliseconds, truncated to 32 bits and read as a signed number,
// so that after about 24.9 days the values turn negative like a 32-bit tick counter.
int32_t TickCount();

// Tests replace the clock; an empty function restores the real one.
void SetTickSource(std::function<uint32_t()> source);

// Pauses the calling thread.
void SleepMilliseconds(int milliseconds);

} // namespace lumora
