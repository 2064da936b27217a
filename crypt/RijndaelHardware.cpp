// SPDX-License-Identifier: GPL-2.0-or-later
#include "crypt/RijndaelHardware.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string.h> // explicit_bzero

#if defined(__x86_64__) || defined(__i386__)
#include <smmintrin.h>
#include <wmmintrin.h>
#define LUMORA_HAVE_AESNI 1
#endif

namespace lumora::rijndael {
namespace {

bool ProcessorHasAes() {
#ifdef LUMORA_HAVE_AESNI
    __builtin_cpu_init(); // also right when first asked from a static constructor
    return __builtin_cpu_supports("aes") && __builtin_cpu_supports("sse4.1");
#else
    return false;
#endif
}

bool ChosenAtStart() {
    const char* choice = std::getenv("LUMORA_AES");
    return ProcessorHasAes() && !(choice != nullptr && std::strcmp(choice, "table") == 0);
}

std::atomic<bool>& Active() {
    static std::atomic<bool> active{ChosenAtStart()};
    return active;
}

#ifdef LUMORA_HAVE_AESNI

constexpr int kLanes = 4; // independent blocks in flight, to cover the instructions' latency
constexpr int kMaxRounds = 14;

// A round key row holds four words whose big-endian bytes are the key bytes.
__attribute__((target("aes,sse4.1"))) inline void LoadKeys(const uint32_t (*keys)[8], int rounds,
                                                           __m128i* out) {
    const __m128i swap = _mm_set_epi8(12, 13, 14, 15, 8, 9, 10, 11, 4, 5, 6, 7, 0, 1, 2, 3);
    for (int r = 0; r <= rounds; ++r)
        out[r] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(keys[r])), swap);
}

// The two directions differ only in their round instructions.
struct Encryption {
    __attribute__((target("aes,sse4.1"), always_inline)) static __m128i Round(__m128i b,
                                                                              __m128i k) {
        return _mm_aesenc_si128(b, k);
    }
    __attribute__((target("aes,sse4.1"), always_inline)) static __m128i LastRound(__m128i b,
                                                                                  __m128i k) {
        return _mm_aesenclast_si128(b, k);
    }
};

struct Decryption {
    __attribute__((target("aes,sse4.1"), always_inline)) static __m128i Round(__m128i b,
                                                                              __m128i k) {
        return _mm_aesdec_si128(b, k);
    }
    __attribute__((target("aes,sse4.1"), always_inline)) static __m128i LastRound(__m128i b,
                                                                                  __m128i k) {
        return _mm_aesdeclast_si128(b, k);
    }
};

// Runs count blocks through the rounds, kLanes at a time so that the instructions of
// independent blocks overlap, then the rest one by one.
template <typename Direction>
__attribute__((target("aes,sse4.1"), always_inline)) inline void
RunBlocks(const uint32_t (*keys)[8], int rounds, const unsigned char* in, unsigned char* out,
          size_t count) {
    __m128i k[kMaxRounds + 1];
    LoadKeys(keys, rounds, k);
    const auto* src = reinterpret_cast<const __m128i*>(in);
    auto* dst = reinterpret_cast<__m128i*>(out);
    size_t i = 0;
    for (; i + kLanes <= count; i += kLanes) {
        __m128i b[kLanes];
        for (int j = 0; j < kLanes; ++j)
            b[j] = _mm_xor_si128(_mm_loadu_si128(src + i + j), k[0]);
        for (int r = 1; r < rounds; ++r)
            for (int j = 0; j < kLanes; ++j)
                b[j] = Direction::Round(b[j], k[r]);
        for (int j = 0; j < kLanes; ++j)
            _mm_storeu_si128(dst + i + j, Direction::LastRound(b[j], k[rounds]));
    }
    for (; i < count; ++i) {
        __m128i b = _mm_xor_si128(_mm_loadu_si128(src + i), k[0]);
        for (int r = 1; r < rounds; ++r)
            b = Direction::Round(b, k[r]);
        _mm_storeu_si128(dst + i, Direction::LastRound(b, k[rounds]));
    }
    explicit_bzero(k, sizeof k); // the object wipes its round keys; so do their copies
}

#endif

} // namespace

bool HardwareAesActive() {
    return Active().load(std::memory_order_relaxed);
}

void UseHardwareAes(bool enabled) {
    Active().store(enabled && ProcessorHasAes(), std::memory_order_relaxed);
}

#ifdef LUMORA_HAVE_AESNI

__attribute__((target("aes,sse4.1"))) void HardwareEncryptBlocks(const uint32_t (*keys)[8],
                                                                 int rounds,
                                                                 const unsigned char* in,
                                                                 unsigned char* out, size_t count) {
    RunBlocks<Encryption>(keys, rounds, in, out, count);
}

__attribute__((target("aes,sse4.1"))) void HardwareDecryptBlocks(const uint32_t (*keys)[8],
                                                                 int rounds,
                                                                 const unsigned char* in,
                                                                 unsigned char* out, size_t count) {
    RunBlocks<Decryption>(keys, rounds, in, out, count);
}

#else

// Never called: HardwareAesActive() is always false here.
void HardwareEncryptBlocks(const uint32_t (*)[8], int, const unsigned char*, unsigned char*,
                           size_t) {}
void HardwareDecryptBlocks(const uint32_t (*)[8], int, const unsigned char*, unsigned char*,
                           size_t) {}

#endif

} // namespace lumora::rijndael
