// SPDX-License-Identifier: GPL-2.0-or-later
// EncryptFile and DecryptFile of a 64 MiB file in the engine configuration, through the
// 1024-byte double buffer and 384-byte chunks. Arg 0 table path, arg 1 AES instructions.
#include "BenchFiles.h"
#include "crypt/Rijndael.h"

#include <benchmark/benchmark.h>

namespace lumora::bench {
namespace {

void Key(CRijndael& cipher) {
    const unsigned char key[32] = "a password of thirty-one bytes!";
    cipher.Initialize(key, 32, nullptr, 32, 16, IMethod::MODE_ECB, IMethod::PAD_ZEROS);
}

void BM_EncryptFile(benchmark::State& state) {
    if (!ChooseAesPath(state))
        return;
    const std::string& input = LargeInputFile();
    const std::string output = ScratchFolder() + "/encrypted.bin";
    CRijndael cipher;
    Key(cipher);
    for (auto _ : state)
        cipher.EncryptFile(input, output);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kLargeFileSize);
    RestoreAesPath();
}

void BM_DecryptFile(benchmark::State& state) {
    if (!ChooseAesPath(state))
        return;
    const std::string encrypted = ScratchFolder() + "/to-decrypt.bin";
    const std::string output = ScratchFolder() + "/decrypted.bin";
    CRijndael cipher;
    Key(cipher);
    cipher.EncryptFile(LargeInputFile(), encrypted);
    for (auto _ : state)
        cipher.DecryptFile(encrypted, output);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kLargeFileSize);
    RestoreAesPath();
}

BENCHMARK(BM_EncryptFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_DecryptFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(1.0);

} // namespace
} // namespace lumora::bench
