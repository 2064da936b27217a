// SPDX-License-Identifier: GPL-2.0-or-later
// Block cipher and digest throughput on data in memory, in the 384-byte chunks that the
// file cipher layer hands to the cipher. Arg 0 is the table path, arg 1 the AES
// instructions (skipped on processors without them).
#include "BenchFiles.h"
#include "archive/PkwareCipher.h"
#include "crypt/Rijndael.h"
#include "crypt/SHA.h"

#include <benchmark/benchmark.h>

namespace lumora::bench {
namespace {

constexpr size_t kChunk = 384;
constexpr size_t kData = kChunk * 8192; // 3 MiB, whole chunks

void RunCipher(benchmark::State& state, int blockSize, int mode, bool encrypt) {
    if (!ChooseAesPath(state))
        return;
    const unsigned char key[32] = "a password of thirty-one bytes!";
    CRijndael cipher;
    cipher.Initialize(key, 32, nullptr, 32, blockSize, mode, IMethod::PAD_ZEROS);
    auto in = RandomBytes(kData, 7);
    std::vector<unsigned char> out(kData);
    for (auto _ : state) {
        for (size_t i = 0; i < kData; i += kChunk) {
            if (encrypt)
                cipher.Encrypt(in.data() + i, out.data() + i, kChunk);
            else
                cipher.Decrypt(in.data() + i, out.data() + i, kChunk);
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kData);
    RestoreAesPath();
}

// The engine configuration: AES-256 in ECB mode.
void BM_RijndaelEngineEncrypt(benchmark::State& state) {
    RunCipher(state, 16, IMethod::MODE_ECB, true);
}
void BM_RijndaelEngineDecrypt(benchmark::State& state) {
    RunCipher(state, 16, IMethod::MODE_ECB, false);
}
void BM_RijndaelCbcEncrypt(benchmark::State& state) {
    RunCipher(state, 16, IMethod::MODE_CBC, true);
}
void BM_RijndaelCbcDecrypt(benchmark::State& state) {
    RunCipher(state, 16, IMethod::MODE_CBC, false);
}
// 32-byte blocks have no hardware path: only the table path is measured.
void BM_RijndaelBlock32Encrypt(benchmark::State& state) {
    RunCipher(state, 32, IMethod::MODE_ECB, true);
}
void BM_RijndaelBlock32Decrypt(benchmark::State& state) {
    RunCipher(state, 32, IMethod::MODE_ECB, false);
}

BENCHMARK(BM_RijndaelEngineEncrypt)->Arg(0)->Arg(1);
BENCHMARK(BM_RijndaelEngineDecrypt)->Arg(0)->Arg(1);
BENCHMARK(BM_RijndaelCbcEncrypt)->Arg(0)->Arg(1);
BENCHMARK(BM_RijndaelCbcDecrypt)->Arg(0)->Arg(1);
BENCHMARK(BM_RijndaelBlock32Encrypt)->Arg(0);
BENCHMARK(BM_RijndaelBlock32Decrypt)->Arg(0);

void BM_Sha256(benchmark::State& state) {
    auto data = RandomBytes(kData, 9);
    unsigned char digest[32];
    CSHA sha;
    for (auto _ : state) {
        sha.AddData(data.data(), static_cast<int>(data.size()));
        sha.FinalDigest(digest);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kData);
}
BENCHMARK(BM_Sha256);

// The zip entries' own cipher, which every hidden file also passes through.
// Argument 0 deciphers, 1 enciphers: only deciphering waits on each byte's plaintext.
void BM_Pkware(benchmark::State& state) {
    auto data = RandomBytes(kData, 11);
    PkwareCipher cipher(Password("a password"));
    for (auto _ : state) {
        if (state.range(0) == 0)
            cipher.Decrypt(data.data(), data.size());
        else
            cipher.Encrypt(data.data(), data.size());
        benchmark::DoNotOptimize(data.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kData);
}
BENCHMARK(BM_Pkware)->Arg(0)->Arg(1);

} // namespace
} // namespace lumora::bench
