// SPDX-License-Identifier: GPL-2.0-or-later
#include "preview/MetafileDecoder.h"

#include "platform/ByteOrder.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <emf2svg.h>
#include <libwmf/api.h>
#include <libwmf/svg.h>

namespace lumora {
namespace {

constexpr uint32_t kPlaceableWmfKey = 0x9AC6CDD7;
constexpr uint32_t kEmfHeaderRecord = 1;
constexpr uint32_t kEmfSignature = 0x464D4520; // " EMF"
constexpr int kEmfHeaderSize = 88;

const uint8_t* At(const QByteArray& bytes, int offset) {
    return reinterpret_cast<const uint8_t*>(bytes.constData()) + offset;
}

uint32_t ReadLe32(const QByteArray& bytes, int offset) {
    return LoadLe32(At(bytes, offset));
}

uint16_t ReadLe16(const QByteArray& bytes, int offset) {
    return LoadLe16(At(bytes, offset));
}

// A placeable header, or a plain header of type 1 or 2 with header size 9 words.
bool LooksLikeWmf(const QByteArray& bytes) {
    if (bytes.size() < 40)
        return false;
    if (ReadLe32(bytes, 0) == kPlaceableWmfKey)
        return true;
    const uint16_t type = ReadLe16(bytes, 0);
    return (type == 1 || type == 2) && ReadLe16(bytes, 2) == 9;
}

// libwmf allocates the largest record the header claims before reading any: a claim larger
// than the whole metafile is a lie that would cost gigabytes.
bool WmfRecordSizeFits(const QByteArray& bytes) {
    const int header = ReadLe32(bytes, 0) == kPlaceableWmfKey ? 22 : 0;
    if (bytes.size() < header + 18)
        return false;
    const uint64_t maxRecordBytes = uint64_t{ReadLe32(bytes, header + 12)} * 2;
    return maxRecordBytes <= static_cast<uint64_t>(bytes.size());
}

bool LooksLikeEmf(const QByteArray& bytes) {
    return bytes.size() >= kEmfHeaderSize && ReadLe32(bytes, 0) == kEmfHeaderRecord &&
           ReadLe32(bytes, 40) == kEmfSignature;
}

// libuemf trusts the header record's size and its description: it reads a description of
// length 0 up to the next NUL, wherever that is, and never checks that one lies within the
// record. A header that does not hold together is refused.
bool EmfHeaderFits(const QByteArray& bytes) {
    const uint32_t recordBytes = ReadLe32(bytes, 4);
    if (recordBytes < kEmfHeaderSize || recordBytes % 4 != 0 ||
        recordBytes > static_cast<uint64_t>(bytes.size()))
        return false;
    const uint32_t characters = ReadLe32(bytes, 60);
    const uint32_t offset = ReadLe32(bytes, 64);
    if (characters == 0 && offset == 0)
        return true;
    return characters > 0 && offset >= kEmfHeaderSize &&
           uint64_t{offset} + uint64_t{characters} * 2 <= recordBytes;
}

// In a fuzzing build the converters are not called: their own faults would be found before
// ours on every run, and in the program they are contained by the preview helper's sandbox.
constexpr bool kCallConverters =
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
    false;
#else
    true;
#endif

// Owns a libwmf API object for one conversion.
class WmfApi {
public:
    WmfApi() {
        wmfAPI_Options options;
        std::memset(&options, 0, sizeof options);
        options.function = wmf_svg_function;
        const unsigned long flags =
            WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
        if (wmf_api_create(&m_api, flags, &options) != wmf_E_None)
            m_api = nullptr;
    }
    ~WmfApi() {
        if (m_api != nullptr)
            wmf_api_destroy(m_api);
    }
    WmfApi(const WmfApi&) = delete;
    WmfApi& operator=(const WmfApi&) = delete;
    wmfAPI* Get() const { return m_api; }

private:
    wmfAPI* m_api = nullptr;
};

} // namespace

QByteArray WmfToSvg(const QByteArray& wmf) {
    if (!LooksLikeWmf(wmf) || !WmfRecordSizeFits(wmf) || !kCallConverters)
        return {};
    WmfApi api;
    wmfAPI* API = api.Get();
    if (API == nullptr)
        return {};

    // libwmf reads the buffer only, but its interface is not const.
    QByteArray input = wmf;
    if (wmf_mem_open(API, reinterpret_cast<unsigned char*>(input.data()), input.size()) !=
        wmf_E_None)
        return {};
    wmfD_Rect bbox;
    if (wmf_scan(API, 0, &bbox) != wmf_E_None) {
        wmf_mem_close(API);
        return {};
    }
    unsigned int width = 0;
    unsigned int height = 0;
    if (wmf_display_size(API, &width, &height, 96, 96) != wmf_E_None || width == 0 || height == 0) {
        wmf_mem_close(API);
        return {};
    }

    wmf_svg_t* ddata = WMF_SVG_GetData(API);
    ddata->out = wmf_stream_create(API, nullptr);
    ddata->Description = nullptr;
    ddata->bbox = bbox;
    ddata->width = width;
    ddata->height = height;
    ddata->flags |= WMF_SVG_INLINE_IMAGES;

    const bool played = wmf_play(API, 0, &bbox) == wmf_E_None;
    char* text = nullptr;
    unsigned long length = 0;
    wmf_stream_destroy(API, ddata->out, &text, &length);
    wmf_mem_close(API);

    QByteArray svg;
    if (played && text != nullptr)
        svg = QByteArray(text, static_cast<qsizetype>(length));
    if (text != nullptr)
        wmf_free(API, text);
    return svg;
}

QByteArray EmfToSvg(const QByteArray& emf) {
    if (!LooksLikeEmf(emf) || !EmfHeaderFits(emf) || !kCallConverters)
        return {};
    char nameSpace[] = "svg";
    generatorOptions options;
    std::memset(&options, 0, sizeof options);
    options.nameSpace = nameSpace;
    options.svgDelimiter = true;
    options.emfplus = true;

    QByteArray input = emf;
    char* text = nullptr;
    size_t length = 0;
    const int ok =
        emf2svg(input.data(), static_cast<size_t>(input.size()), &text, &length, &options);
    QByteArray svg;
    if (ok != 0 && text != nullptr)
        svg = QByteArray(text, static_cast<qsizetype>(length));
    std::free(text);
    return svg;
}

} // namespace lumora
