// SPDX-License-Identifier: GPL-2.0-or-later
// An allocator for the large buffers that are read in a scattered order (a picture's samples
// and their costs, tens of megabytes): each is mapped on its own, aligned to 2 MiB and marked
// for transparent huge pages, so a look-up anywhere in it rarely misses the TLB. Smaller
// buffers come from the ordinary heap, and so does every buffer in a build with
// AddressSanitizer, which catches overruns only there. Elements are not value-initialised on
// construction without arguments: every such buffer is written before it is read, and zeroing tens
// of megabytes costs a pass.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <utility>

namespace lumora {

// At least `bytes` of memory, aligned to kHugePageBytes and advised for huge pages; nullptr
// when the system has none to give. The mapping ends at the page after the last byte, so
// the part of a huge page past it is not taken (it is mapped in small pages as touched).
void* MapHugePages(size_t bytes);
// Gives back what MapHugePages(bytes) gave.
void UnmapHugePages(void* place, size_t bytes);

inline constexpr size_t kHugePageBytes = size_t{2} << 20;

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kMapsHugePages = false;
#elif defined(__has_feature)
inline constexpr bool kMapsHugePages = !__has_feature(address_sanitizer);
#else
inline constexpr bool kMapsHugePages = true;
#endif

template <typename T> struct HugePageAllocator {
    using value_type = T;

    HugePageAllocator() = default;
    template <typename U> HugePageAllocator(const HugePageAllocator<U>&) noexcept {}

    T* allocate(size_t count) {
        // The mapping adds up to a huge page to the bytes asked for.
        if (count > (static_cast<size_t>(-1) - kHugePageBytes) / sizeof(T))
            throw std::bad_array_new_length();
        const size_t bytes = count * sizeof(T);
        if (!kMapsHugePages || bytes < kHugePageBytes)
            return std::allocator<T>().allocate(count);
        void* place = MapHugePages(bytes);
        if (place == nullptr)
            throw std::bad_alloc();
        return static_cast<T*>(place);
    }

    void deallocate(T* place, size_t count) noexcept {
        const size_t bytes = count * sizeof(T);
        if (!kMapsHugePages || bytes < kHugePageBytes)
            std::allocator<T>().deallocate(place, count);
        else
            UnmapHugePages(place, bytes);
    }

    template <typename U> void construct(U* place) noexcept { ::new (static_cast<void*>(place)) U; }
    template <typename U, typename... Args> void construct(U* place, Args&&... args) {
        ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
    }

    template <typename U> bool operator==(const HugePageAllocator<U>&) const noexcept {
        return true;
    }
};

} // namespace lumora
