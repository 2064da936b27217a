// SPDX-License-Identifier: GPL-2.0-or-later
#include "fuzz/FuzzSupport.h"

#include "platform/ProgramFolders.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace lumora::fuzz {
namespace {

std::string MakeScratchFolder() {
    const char* chosen = std::getenv("LUMORA_FUZZ_TMP");
    std::string base = chosen != nullptr && chosen[0] == '/' ? chosen : "/dev/shm";
    if (::access(base.c_str(), W_OK | X_OK) != 0) {
        const char* tmp = std::getenv("TMPDIR");
        base = tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp";
    }
    std::string pattern = base + "/lumora-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    return pattern;
}

void RemoveScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(ScratchFolder(), ec);
}

} // namespace

const std::string& ScratchFolder() {
    static const std::string folder = [] {
        std::string made = MakeScratchFolder();
        SetProgramFolderOverride(made);
        return made;
    }();
    static const bool cleanup = std::atexit(RemoveScratchFolder) == 0;
    (void)cleanup;
    return folder;
}

std::string ScratchPath(const std::string& name) {
    return ScratchFolder() + "/" + name;
}

std::string WriteInput(const std::string& name, const uint8_t* data, size_t size) {
    std::string path = ScratchPath(name);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || (size > 0 && std::fwrite(data, 1, size, file) != size) ||
        std::fclose(file) != 0) {
        std::perror(path.c_str());
        std::abort();
    }
    return path;
}

void RemovePath(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

void RequireEmptyCache() {
    std::error_code ec;
    std::filesystem::directory_iterator it(ScratchPath("cache"), ec);
    if (!ec && it != std::filesystem::directory_iterator()) {
        std::fprintf(stderr, "working folder left behind: %s\n", it->path().c_str());
        std::abort();
    }
}

} // namespace lumora::fuzz
