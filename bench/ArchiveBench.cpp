// SPDX-License-Identifier: GPL-2.0-or-later
// Building and reading a 64 MiB payload archive the way the engine does: deflate level 9
// and the PKWARE entry cipher under a password. The input is half text-like, half random.
#include "BenchFiles.h"
#include "archive/Unzipper.h"
#include "archive/Zipper.h"

#include <benchmark/benchmark.h>
#include <filesystem>

namespace lumora::bench {
namespace {

const std::string kPassword = "a password";

std::string ArchivePath() {
    return ScratchFolder() + "/payload.zip";
}

void BuildArchive() {
    std::filesystem::remove(ArchivePath());
    CZipper zipper;
    if (!zipper.Open(ArchivePath(), std::nullopt, 0))
        throw std::runtime_error("cannot create the archive");
    Password password(kPassword);
    zipper.SetPassword(&password);
    if (!zipper.AddFile(LargeInputFile(), true) || !zipper.Close())
        throw std::runtime_error("cannot build the archive");
}

void BM_ZipperBuild(benchmark::State& state) {
    for (auto _ : state)
        BuildArchive();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kLargeFileSize);
}

void BM_UnzipperRead(benchmark::State& state) {
    BuildArchive();
    const std::string folder = ScratchFolder() + "/unpacked";
    for (auto _ : state) {
        CUnzipper unzipper;
        if (!unzipper.Open(ArchivePath()))
            throw std::runtime_error("cannot open the archive");
        Password password(kPassword);
        unzipper.SetPassword(&password);
        if (!unzipper.ExtractEntryAt(0, folder)) {
            state.SkipWithError("extraction failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kLargeFileSize);
}

BENCHMARK(BM_ZipperBuild)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_UnzipperRead)->Unit(benchmark::kMillisecond)->MinTime(1.0);

} // namespace
} // namespace lumora::bench
