// SPDX-License-Identifier: GPL-2.0-or-later
#include "BenchFiles.h"

#include "crypt/RijndaelHardware.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace lumora::bench {
namespace {

uint32_t Next(uint32_t& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

struct Scratch {
    std::string path;
    Scratch() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base ? base : "/tmp") + "/lumora-bench-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot make a scratch folder");
        path = pattern;
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

} // namespace

const std::string& ScratchFolder() {
    static Scratch scratch;
    return scratch.path;
}

std::vector<unsigned char> TextLikeBytes(size_t n, uint32_t seed) {
    static const char* const kWords[] = {"the",    "payload", "carrier", "image", "of",
                                         "hidden", "message", "and",     "files", "password",
                                         "cipher", "archive", "a",       "to",    "block",
                                         "entry",  "stream",  "bytes",   "is",    "written"};
    std::vector<unsigned char> bytes;
    bytes.reserve(n + 16);
    uint32_t state = seed | 1u;
    for (int word = 1; bytes.size() < n; ++word) {
        const char* w = kWords[Next(state) % (sizeof kWords / sizeof kWords[0])];
        bytes.insert(bytes.end(), w, w + std::char_traits<char>::length(w));
        // Numbers keep the text from being one endless repetition.
        if (Next(state) % 4 == 0) {
            std::string number = std::to_string(Next(state) % 100000);
            bytes.insert(bytes.end(), number.begin(), number.end());
        }
        bytes.push_back(word % 12 == 0 ? '\n' : ' ');
    }
    bytes.resize(n);
    return bytes;
}

std::vector<unsigned char> RandomBytes(size_t n, uint32_t seed) {
    std::vector<unsigned char> bytes(n);
    uint32_t state = seed | 1u;
    for (auto& b : bytes)
        b = static_cast<unsigned char>(Next(state) >> 7);
    return bytes;
}

void WriteFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() ||
        std::fclose(file) != 0)
        throw std::runtime_error("cannot write " + path);
}

const std::string& LargeInputFile() {
    static const std::string path = [] {
        std::string p = ScratchFolder() + "/input-64mib.bin";
        auto bytes = TextLikeBytes(kLargeFileSize / 2, 1);
        auto random = RandomBytes(kLargeFileSize / 2, 2);
        bytes.insert(bytes.end(), random.begin(), random.end());
        WriteFile(p, bytes);
        return p;
    }();
    return path;
}

bool ChooseAesPath(benchmark::State& state) {
    rijndael::UseHardwareAes(state.range(0) == 1);
    if (state.range(0) == 1 && !rijndael::HardwareAesActive()) {
        state.SkipWithError("no AES instructions on this processor");
        return false;
    }
    state.SetLabel(state.range(0) == 1 ? "aes-ni" : "tables");
    return true;
}

void RestoreAesPath() {
    rijndael::UseHardwareAes(true);
}

long StatusKiB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field + ":", 0) == 0)
            return std::stol(line.substr(field.size() + 1));
    return -1;
}

bool ResetPeakMemory() {
    ::malloc_trim(0); // freed memory the allocator keeps would hide what the work adds
    std::ofstream reset("/proc/self/clear_refs");
    reset << "5" << std::flush;
    return static_cast<bool>(reset);
}

bool ChooseVectorLevel(benchmark::State& state, std::optional<VectorCeiling>& ceiling) {
    const struct {
        VectorLevel level;
        const char* label;
    } kLevels[] = {{VectorLevel::Portable, "portable"},
                   {VectorLevel::Avx2, "avx2"},
                   {VectorLevel::Avx512, "avx512"}};
    const auto& chosen = kLevels[std::min<size_t>(static_cast<size_t>(state.range(0)), 2)];
    if (!CanUseVectors(chosen.level)) {
        state.SkipWithError((std::string("no ") + chosen.label + " on this processor").c_str());
        return false;
    }
    ceiling.emplace(chosen.level);
    state.SetLabel(chosen.label);
    return true;
}

} // namespace lumora::bench
