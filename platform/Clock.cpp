// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/Clock.h"

#include <chrono>
#include <thread>
#include <time.h>

namespace lumora {
namespace {

std::function<uint32_t()>& TickSource() {
    static std::function<uint32_t()> source;
    return source;
}

uint32_t MonotonicMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t ms =
        static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

} // namespace

int32_t TickCount() {
    uint32_t ticks = TickSource() ? TickSource()() : MonotonicMilliseconds();
    return static_cast<int32_t>(ticks);
}

void SetTickSource(std::function<uint32_t()> source) {
    TickSource() = std::move(source);
}

void SleepMilliseconds(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace lumora
