// SPDX-License-Identifier: GPL-2.0-or-later
// What the carriers in tests/data/reference/, written by an independent implementation
// of the format, hold.
#pragma once

#include <cstdint>
#include <ostream>
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

// The carrier of that file name (such as "long-password.jpg"); throws when there is none.
const ReferenceCarrier& ReferenceCarrierNamed(const std::string& file);

// The bytes of the carrier's message entry: its writer wrote the stored message in text
// mode (each CR LF as CR CR LF) and ended it with a NUL byte. Empty without a message.
std::string MessageEntryOf(const ReferenceCarrier& carrier);

// For tables of carriers: the file name as a test name ("long_password_jpg"), and the
// carrier as GoogleTest prints it (its file name).
std::string TestNameOf(const ReferenceCarrier& carrier);
void PrintTo(const ReferenceCarrier& carrier, std::ostream* out);

// The size of a picture the carriers were made from (such as "base.png"), as their trailers
// give it.
int64_t ReferencePictureSize(const std::string& base);

// The picture with a trailer of version 2 and the one it was made from: no valid trailer,
// so no payload this program reads.
inline constexpr const char* kVersion2Carrier = "version2.bmp";
inline constexpr const char* kVersion2Base = "base.bmp";

} // namespace lumora::test
