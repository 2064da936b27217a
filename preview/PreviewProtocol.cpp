// SPDX-License-Identifier: GPL-2.0-or-later
#include "preview/PreviewProtocol.h"

#include "platform/ByteOrder.h"

#include <cstring>

namespace lumora::preview {
namespace {

constexpr char kRequestMagic[4] = {'L', 'P', 'R', 'Q'};
constexpr char kResponseMagic[4] = {'L', 'P', 'R', 'S'};
constexpr uint32_t kStatusPreview = 0;
constexpr uint32_t kStatusNoPreview = 1;

bool IsValidSide(uint32_t side) {
    return side >= 1 && side <= kMaxPreviewSide;
}

} // namespace

bool IsValidFormat(const std::string& format) {
    if (format.empty() || format.size() > kMaxFormatLength)
        return false;
    for (char c : format)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    return true;
}

std::vector<uint8_t> EncodeRequestHeader(const RequestHeader& header) {
    if (!IsValidFormat(header.format) || !IsValidSide(header.maxWidth) ||
        !IsValidSide(header.maxHeight) || header.byteCount > kMaxPictureBytes)
        return {};
    std::vector<uint8_t> out(std::begin(kRequestMagic), std::end(kRequestMagic));
    out.insert(out.end(), header.format.begin(), header.format.end());
    out.resize(4 + kMaxFormatLength, 0);
    AppendLittleEndian<uint32_t>(out, header.maxWidth);
    AppendLittleEndian<uint32_t>(out, header.maxHeight);
    AppendLittleEndian<uint64_t>(out, header.byteCount);
    return out;
}

std::optional<RequestHeader> DecodeRequestHeader(const uint8_t* data, size_t size) {
    if (size < kRequestHeaderSize || std::memcmp(data, kRequestMagic, 4) != 0)
        return std::nullopt;
    RequestHeader header;
    const char* format = reinterpret_cast<const char*>(data + 4);
    header.format.assign(format, strnlen(format, kMaxFormatLength));
    // The padding after the name is all NUL bytes.
    for (size_t i = header.format.size(); i < kMaxFormatLength; ++i)
        if (format[i] != '\0')
            return std::nullopt;
    header.maxWidth = LoadLe32(data + 20);
    header.maxHeight = LoadLe32(data + 24);
    header.byteCount = LoadLe64(data + 28);
    if (!IsValidFormat(header.format) || !IsValidSide(header.maxWidth) ||
        !IsValidSide(header.maxHeight) || header.byteCount > kMaxPictureBytes)
        return std::nullopt;
    return header;
}

std::optional<Request> DecodeRequest(const uint8_t* data, size_t size) {
    std::optional<RequestHeader> header = DecodeRequestHeader(data, size);
    if (!header || size - kRequestHeaderSize != header->byteCount)
        return std::nullopt;
    Request request;
    request.header = std::move(*header);
    request.bytes.assign(data + kRequestHeaderSize, data + size);
    return request;
}

std::vector<uint8_t> EncodeNoPreview() {
    std::vector<uint8_t> out(std::begin(kResponseMagic), std::end(kResponseMagic));
    AppendLittleEndian<uint32_t>(out, kStatusNoPreview);
    out.resize(kResponseHeaderSize, 0);
    return out;
}

std::vector<uint8_t> EncodeResponse(const ResponseHeader& header, const uint8_t* pixels) {
    if (!header.hasPreview)
        return EncodeNoPreview();
    std::vector<uint8_t> out(std::begin(kResponseMagic), std::end(kResponseMagic));
    out.reserve(kResponseHeaderSize + header.PixelBytes());
    AppendLittleEndian<uint32_t>(out, kStatusPreview);
    AppendLittleEndian<uint32_t>(out, header.width);
    AppendLittleEndian<uint32_t>(out, header.height);
    AppendLittleEndian<uint32_t>(out, header.previewWidth);
    AppendLittleEndian<uint32_t>(out, header.previewHeight);
    out.insert(out.end(), pixels, pixels + header.PixelBytes());
    return out;
}

std::optional<ResponseHeader> DecodeResponseHeader(const uint8_t* data, size_t size,
                                                   uint32_t maxWidth, uint32_t maxHeight) {
    if (size < kResponseHeaderSize || std::memcmp(data, kResponseMagic, 4) != 0)
        return std::nullopt;
    ResponseHeader header;
    const uint32_t status = LoadLe32(data + 4);
    header.width = LoadLe32(data + 8);
    header.height = LoadLe32(data + 12);
    header.previewWidth = LoadLe32(data + 16);
    header.previewHeight = LoadLe32(data + 20);
    if (status == kStatusNoPreview) {
        if (header.width != 0 || header.height != 0 || header.previewWidth != 0 ||
            header.previewHeight != 0)
            return std::nullopt;
        return header;
    }
    // The picture's own size becomes a QSize, which holds an int.
    constexpr uint32_t kMaxSide = 0x7fffffff;
    if (status != kStatusPreview || header.width == 0 || header.width > kMaxSide ||
        header.height == 0 || header.height > kMaxSide || header.previewWidth == 0 ||
        header.previewWidth > maxWidth || header.previewHeight == 0 ||
        header.previewHeight > maxHeight)
        return std::nullopt;
    header.hasPreview = true;
    return header;
}

} // namespace lumora::preview
