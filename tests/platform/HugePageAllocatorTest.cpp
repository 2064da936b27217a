// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/HugePageAllocator.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace lumora {
namespace {

using Buffer = std::vector<uint8_t, HugePageAllocator<uint8_t>>;

// Whether any mapping of this process covers part of [start, end).
bool Mapped(uintptr_t start, uintptr_t end) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        std::istringstream range(line);
        uintptr_t from = 0, to = 0;
        char dash = 0;
        range >> std::hex >> from >> dash >> to;
        if (from < end && start < to)
            return true;
    }
    return false;
}

TEST(HugePageAllocatorTest, BuffersOfEverySizeHoldTheirBytesThroughGrowthAndCopies) {
    const struct {
        const char* what;
        size_t bytes;
        bool ownMapping; // aligned to a huge page, in a mapping of its own
    } cases[] = {
        {"one byte", 1, false},
        {"just below a huge page", kHugePageBytes - 1, false},
        {"one huge page", kHugePageBytes, kMapsHugePages},
        {"a byte past it", kHugePageBytes + 1, kMapsHugePages},
        {"several, not a whole number", 5 * kHugePageBytes + 3, kMapsHugePages},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Buffer buffer(c.bytes);
        const auto at = reinterpret_cast<uintptr_t>(buffer.data());
        if (c.ownMapping) {
            EXPECT_EQ(at % kHugePageBytes, 0u);
        }
        for (size_t i = 0; i < c.bytes; i += 4093)
            buffer[i] = static_cast<uint8_t>(i * 7);
        buffer[c.bytes - 1] = 0x5A;

        Buffer copy = buffer;
        buffer.resize(c.bytes + kHugePageBytes); // moves to a larger block
        for (size_t i = 0; i + 1 < c.bytes; i += 4093)
            ASSERT_EQ(buffer[i], static_cast<uint8_t>(i * 7)) << i;
        EXPECT_EQ(buffer[c.bytes - 1], 0x5A);
        EXPECT_TRUE(std::equal(copy.begin(), copy.end(), buffer.begin()));

        // A block of its own goes back to the system whole, its last page with it.
        const auto copyAt = reinterpret_cast<uintptr_t>(copy.data());
        Buffer().swap(copy);
        if (c.ownMapping) {
            EXPECT_FALSE(Mapped(copyAt, copyAt + c.bytes));
        }
    }
}

} // namespace
} // namespace lumora
