// SPDX-License-Identifier: GPL-2.0-or-later
// Deciphers arbitrary bytes as an encrypted payload file. When the first input byte is
// odd the rest gets the right signature in front, so the ciphertext path is reached too.
#include "crypt/PayloadCrypt.h"
#include "fuzz/FuzzSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

using namespace lumora;

namespace {

// The 32-byte signature of kPassword: the whole encrypted file of an empty input.
const std::vector<char>& Signature() {
    static const std::vector<char> signature = [] {
        std::string empty = fuzz::WriteInput("empty.bin", nullptr, 0);
        std::string encrypted = fuzz::ScratchPath("empty.enc");
        if (!EncryptPayloadFile(empty.c_str(), encrypted.c_str(), Password(fuzz::kPassword)))
            std::abort();
        std::ifstream in(encrypted, std::ios::binary);
        std::vector<char> bytes(std::istreambuf_iterator<char>(in), {});
        if (bytes.size() != 32)
            std::abort();
        return bytes;
    }();
    return signature;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input = fuzz::ScratchPath("input.enc");
    {
        std::ofstream out(input, std::ios::binary | std::ios::trunc);
        if (size > 0 && (data[0] & 1) != 0) {
            out.write(Signature().data(), static_cast<std::streamsize>(Signature().size()));
            ++data;
            --size;
        }
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    std::string output = fuzz::ScratchPath("output.zip");
    const bool ok = DecryptPayloadFile(input.c_str(), output.c_str(), Password(fuzz::kPassword)) ==
                    DecryptResult::Ok;
    std::error_code ec;
    auto inSize = std::filesystem::file_size(input, ec);
    auto outSize = std::filesystem::file_size(output, ec);
    // Deciphering succeeds exactly for the signature plus whole blocks, and gives one
    // byte out per byte of ciphertext.
    bool wellFormed = inSize >= 32 && (inSize - 32) % 16 == 0;
    if (ok && (!wellFormed || outSize != inSize - 32))
        std::abort();
    fuzz::RemovePath(output);
    return 0;
}
