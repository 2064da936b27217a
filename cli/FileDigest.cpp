// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/FileDigest.h"

#include "cli/CliError.h"
#include "cli/FileErrors.h"
#include "crypt/SHA.h"

#include <cerrno>
#include <cstdio>
#include <memory>

namespace lumora::cli {

std::string Sha256HexOfFile(const std::string& path) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file)
        throw CannotRead(path);
    CSHA sha;
    unsigned char block[65536];
    bool any = false;
    size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, file.get())) > 0) {
        sha.AddData(block, static_cast<int>(got));
        any = true;
    }
    if (std::ferror(file.get()))
        throw CannotRead(path);
    if (!any)
        throw Failure("cannot read " + path + ": the file is empty", Reason::ReadFailed);
    unsigned char digest[CSHA::kDigestSize];
    sha.FinalDigest(digest);
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned char byte : digest) {
        text += kHex[byte >> 4];
        text += kHex[byte & 15];
    }
    return text;
}

} // namespace lumora::cli
