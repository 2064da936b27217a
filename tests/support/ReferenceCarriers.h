// SPDX-License-Identifier: GPL-2.0-or-later
// What the carriers in tests/data/reference/, written by an independent implementation
// of the format, hold.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lumora::test {

struct ReferenceHiddenFile {
    std::string name;
    int64_t size;
    std::string sha256;
};

struct ReferenceNumbers {
    int32_t imageLength;
    int32_t payloadLength;
    int32_t messageLength;
    int32_t fileCount;
    int32_t filesTotalSize;
};

struct ReferenceCarrier {
    std::string file; // the carrier (ReferenceFile)
    std::string base; // the picture it was made from
    std::string password;
    std::string message;      // in its stored form (CR LF line breaks); empty for none
    ReferenceNumbers numbers; // the trailer's
    std::vector<ReferenceHiddenFile> files;
};

const std::vector<ReferenceCarrier>& ReferenceCarriers();

} // namespace lumora::test
