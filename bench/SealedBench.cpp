// SPDX-License-Identifier: GPL-2.0-or-later
// What one password guess costs against each format, and the sealed payload's throughput.
// A guess at a sealed carrier is one key derivation with the released parameters (wall
// time and the peak memory it adds); a guess at a classic carrier is one SHA-256 of
// "RIJNDAEL" and the password, compared with the signature stored in clear. Arg 0 of the
// classic guess is the project's CSHA, arg 1 libsodium's SHA-256 (what an attacker's tool
// would use).
#include "BenchFiles.h"
#include "crypt/SHA.h"
#include "crypt/SealedFormat.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sodium.h>
#include <unistd.h>

namespace lumora::bench {
namespace {

const SealedKey& ReleasedKey() {
    static const SealedKey key = [] {
        SealedKey derived;
        // One that failed stays empty: sealing with it fails, and the benchmarks say so.
        static_cast<void>(NewSealedKey(Password("a guess"), derived));
        return derived;
    }();
    return key;
}

void BM_SealedKeyDerivation(benchmark::State& state) {
    const Password password("correct horse battery staple");
    const SealedSalt salt{1, 2, 3};
    SealedKey key;
    SealedOutcome outcome = SealedOutcome::Ok;
    const double added =
        PeakMiBAddedBy([&] { outcome = DeriveSealedKey(password, salt, kSealedFormatV1, key); });
    if (outcome != SealedOutcome::Ok) {
        state.SkipWithError("key derivation failed");
        return;
    }
    for (auto _ : state)
        if (DeriveSealedKey(password, salt, kSealedFormatV1, key) != SealedOutcome::Ok)
            state.SkipWithError("key derivation failed");
    state.counters["peak_added_MiB"] = added;
    state.counters["guesses_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_ClassicGuess(benchmark::State& state) {
    const bool sodium = state.range(0) == 1;
    if (sodium_init() < 0) {
        state.SkipWithError("libsodium unavailable");
        return;
    }
    // "RIJNDAEL" and a 12-byte guess that changes with every attempt.
    unsigned char text[20] = {'R', 'I', 'J', 'N', 'D', 'A', 'E', 'L'};
    std::memcpy(text + 8, "guess-000000", 12);
    unsigned char digest[32];
    CSHA sha;
    uint64_t n = 0;
    for (auto _ : state) {
        ++n;
        std::memcpy(text + 14, &n, 6);
        if (sodium) {
            crypto_hash_sha256(digest, text, sizeof text);
        } else {
            sha.AddData(text, sizeof text);
            sha.FinalDigest(digest);
        }
        benchmark::DoNotOptimize(digest);
    }
    state.counters["guesses_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.SetLabel(sodium ? "libsodium" : "CSHA");
}

// Seals the 64 MiB input behind an empty image, and unseals it, with a key derived once.
void BM_SealedSeal(benchmark::State& state) {
    const int archive = ::open(LargeInputFile().c_str(), O_RDONLY);
    const std::string path = ScratchFolder() + "/sealed.bin";
    const int out = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    auto seal = [&] {
        if (::ftruncate(out, 0) != 0)
            return SealedOutcome::WriteFailed;
        ::lseek(archive, 0, SEEK_SET);
        return SealPayload(archive, out, 0, ReleasedKey());
    };
    state.counters["peak_added_MiB"] = PeakMiBAddedBy(seal);
    for (auto _ : state)
        if (seal() != SealedOutcome::Ok)
            state.SkipWithError("sealing failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kLargeFileSize);
    ::close(out);
    ::close(archive);
}

void BM_SealedUnseal(benchmark::State& state) {
    const std::string path = ScratchFolder() + "/sealed.bin";
    const int fd = ::open(path.c_str(), O_RDONLY);
    SealedHeader header;
    if (ReadSealedTail(fd, ::lseek(fd, 0, SEEK_END), ReleasedKey(), header) != SealedOutcome::Ok) {
        state.SkipWithError("run BM_SealedSeal first");
        return;
    }
    uint64_t sum = 0;
    auto unseal = [&] {
        return UnsealPayload(fd, header, ReleasedKey(), [&](const uint8_t* data, size_t size) {
            sum += data[size - 1];
            return true;
        });
    };
    state.counters["peak_added_MiB"] = PeakMiBAddedBy(unseal);
    for (auto _ : state)
        if (unseal() != SealedOutcome::Ok)
            state.SkipWithError("unsealing failed");
    benchmark::DoNotOptimize(sum);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kLargeFileSize);
    ::close(fd);
}

BENCHMARK(BM_SealedKeyDerivation)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_ClassicGuess)->Arg(0)->Arg(1)->MinTime(1.0);
BENCHMARK(BM_SealedSeal)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_SealedUnseal)->Unit(benchmark::kMillisecond)->MinTime(1.0);

} // namespace
} // namespace lumora::bench
