// SPDX-License-Identifier: GPL-2.0-or-later
// What the program and the preview helper say to each other over their socket. Every
// field has a fixed size and a checked range, so neither side trusts a length it did not
// bound itself.
//
// Request, program to helper (little-endian):
//   "LPRQ"                  4 bytes
//   format                  16 bytes: the file's extension, lower-case a-z and 0-9,
//                           padded with NUL bytes (at least one character)
//   largest width, height   2 x 4 bytes, each 1 to kMaxPreviewSide
//   byte count              8 bytes, at most kMaxPictureBytes
//   the picture's bytes
//
// Response, helper to program:
//   "LPRS"                  4 bytes
//   status                  4 bytes: 0 a preview follows, 1 no preview
//   picture width, height   2 x 4 bytes: the picture's own size (0 without a preview)
//   preview width, height   2 x 4 bytes: at most the largest size asked for
//   pixels                  preview width x height 32-bit words in the machine's byte
//                           order (QImage::Format_ARGB32_Premultiplied), row after row
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lumora::preview {

inline constexpr uint32_t kMaxPreviewSide = 4096;
inline constexpr uint64_t kMaxPictureBytes = 128ull << 20;
inline constexpr size_t kMaxFormatLength = 16;
inline constexpr size_t kRequestHeaderSize = 36;
inline constexpr size_t kResponseHeaderSize = 24;

struct RequestHeader {
    std::string format;
    uint32_t maxWidth = 0;
    uint32_t maxHeight = 0;
    uint64_t byteCount = 0;
};

struct Request {
    RequestHeader header;
    std::vector<uint8_t> bytes;
};

struct ResponseHeader {
    bool hasPreview = false;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t previewWidth = 0;
    uint32_t previewHeight = 0;

    uint64_t PixelBytes() const { return uint64_t(previewWidth) * previewHeight * 4; }
};

// True for an extension that fits the format field: 1 to 16 characters a-z, 0-9.
bool IsValidFormat(const std::string& format);

// The header of a request; empty when a field is out of range.
std::vector<uint8_t> EncodeRequestHeader(const RequestHeader& header);
std::optional<RequestHeader> DecodeRequestHeader(const uint8_t* data, size_t size);
// A whole request: header and exactly as many bytes as it announces.
std::optional<Request> DecodeRequest(const uint8_t* data, size_t size);

// A response without a preview, and one with `pixels` (previewWidth x previewHeight words).
std::vector<uint8_t> EncodeNoPreview();
std::vector<uint8_t> EncodeResponse(const ResponseHeader& header, const uint8_t* pixels);
// The header of a response to a request for at most maxWidth x maxHeight; empty when it
// breaks the rules above (a preview larger than asked for, sizes of 0, an unknown status).
std::optional<ResponseHeader> DecodeResponseHeader(const uint8_t* data, size_t size,
                                                   uint32_t maxWidth, uint32_t maxHeight);

} // namespace lumora::preview
