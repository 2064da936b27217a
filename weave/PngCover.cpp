// SPDX-License-Identifier: GPL-2.0-or-later
#include "weave/PngCover.h"

#include "picture/PngChunks.h"
#include "weave/PngLibrary.h"

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <new>
#include <zlib.h>

namespace lumora {
namespace {

// Where the IDAT chunks lie, and what would make the file unusable as a cover.
struct ChunkPlan {
    PictureEnd end;
    uint64_t firstIdat = 0;
    uint64_t idatEnd = 0;
    bool animated = false;
    bool split = false; // IDAT chunks with other chunks between them
};

ChunkPlan PlanChunks(const ByteSource& source) {
    ChunkPlan plan;
    bool inIdat = false, afterIdat = false;
    plan.end = WalkPng(source, [&](const PngChunk& chunk) {
        if (chunk.type == PngChunkType("acTL"))
            plan.animated = true;
        if (chunk.type != PngChunkType("IDAT")) {
            afterIdat = afterIdat || inIdat;
            inIdat = false;
            return;
        }
        plan.split = plan.split || afterIdat;
        if (!inIdat)
            plan.firstIdat = chunk.offset;
        inIdat = true;
        plan.idatEnd = chunk.offset + 12 + chunk.length;
    });
    return plan;
}

CoverStatus CheckSamples(png_structp png, png_infop info, uint64_t mostBytes) {
    const png_byte colourType = png_get_color_type(png, info);
    if (colourType == PNG_COLOR_TYPE_PALETTE)
        return CoverStatus::Palette;
    if (png_get_bit_depth(png, info) != 8)
        return CoverStatus::NotEightBit;
    png_color_8p significant = nullptr;
    if (png_get_sBIT(png, info, &significant) != 0 && significant != nullptr) {
        const bool colour = (colourType & PNG_COLOR_MASK_COLOR) != 0;
        const bool alpha = (colourType & PNG_COLOR_MASK_ALPHA) != 0;
        const bool reduced =
            colour ? significant->red < 8 || significant->green < 8 || significant->blue < 8
                   : significant->gray < 8;
        if (reduced || (alpha && significant->alpha < 8))
            return CoverStatus::ReducedPrecision;
    }
    const uint64_t bytes = uint64_t{png_get_image_width(png, info)} *
                           png_get_image_height(png, info) * png_get_channels(png, info);
    return bytes > mostBytes ? CoverStatus::TooLarge : CoverStatus::Ok;
}

// The tRNS colour of a greyscale or RGB picture.
std::optional<std::array<int, 3>> TransparentColour(png_structp png, png_infop info) {
    png_bytep alphas = nullptr;
    int count = 0;
    png_color_16p colour = nullptr;
    if (png_get_tRNS(png, info, &alphas, &count, &colour) == 0 || colour == nullptr)
        return std::nullopt;
    if (png_get_color_type(png, info) == PNG_COLOR_TYPE_GRAY)
        return std::array<int, 3>{colour->gray, 0, 0};
    if (png_get_color_type(png, info) == PNG_COLOR_TYPE_RGB)
        return std::array<int, 3>{colour->red, colour->green, colour->blue};
    return std::nullopt;
}

PixelLayout LayoutOf(png_structp png, png_infop info) {
    PixelLayout layout;
    layout.width = png_get_image_width(png, info);
    layout.height = png_get_image_height(png, info);
    const png_byte colourType = png_get_color_type(png, info);
    layout.channels = (colourType & PNG_COLOR_MASK_COLOR) != 0 ? 3 : 1;
    layout.pixelBytes = png_get_channels(png, info);
    layout.channelAt = {0, 1, 2};
    if ((colourType & PNG_COLOR_MASK_ALPHA) != 0)
        layout.alphaAt = layout.channels;
    layout.rowStride = static_cast<int64_t>(uint64_t{layout.width} * layout.pixelBytes);
    return layout;
}

// How the rows are filtered and packed. Photographs are mostly noise after PNG's filters,
// which zlib's run-length strategy packs as small as its level 4 in under a third of the
// time (0.77 s against 2.58 s for 12 megapixels of RGB, docs/PERFORMANCE.md); pictures with
// flat areas or repeated patterns need level 4's matches. libpng's choice of filter for
// each row takes about as long as the packing by runs, and the average filter alone often
// packs as small; on noise, Huffman codes without runs pack as small again, faster.
enum class Packing {
    Matches,        // level 4, every filter tried on each row
    Runs,           // runs, every filter tried
    AverageRuns,    // runs, the average filter alone
    AverageHuffman, // Huffman codes alone, the average filter alone
};

// The libpng objects of one write, whose IDAT chunks go to a filter.
struct PngEncoding {
    PngChannel channel;
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<png_bytep> rows;

    ~PngEncoding() { png_destroy_write_struct(&png, &info); }

    // Everything a jump from libpng may skip lives in this object. A failure of the
    // filter's sink ends as WriteFailed; the sink says more where it knows more. Rows in
    // bands of bandRows (a trial) start each band with a row whose row above is not its
    // own: the average filter alone would pack it badly, so there the sub filter is
    // offered too.
    CoverStatus Run(const PixelLayout& layout, int colourType, bool interlaced, Packing packing,
                    IdatFilter& idat, uint32_t bandRows = 0) {
        png = channel.MakeWriter(idat);
        info = png == nullptr ? nullptr : png_create_info_struct(png);
        if (info == nullptr)
            return CoverStatus::NoMemory;
        if (setjmp(channel.jump) != 0)
            return CoverStatus::WriteFailed;
        png_set_IHDR(png, info, layout.width, static_cast<png_uint_32>(rows.size()), 8, colourType,
                     interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        // zlib's level 4 packs photographs about as small as its default, 6, in well under
        // half the time (1.9 s against 5.1 s for 12 megapixels of RGB, docs/PERFORMANCE.md).
        png_set_compression_level(png, 4);
        if (packing != Packing::Matches)
            png_set_compression_strategy(png, packing == Packing::AverageHuffman ? Z_HUFFMAN_ONLY
                                                                                 : Z_RLE);
        const bool average = packing == Packing::AverageRuns || packing == Packing::AverageHuffman;
        const bool bands = bandRows != 0 && average;
        // libpng keeps the row above only for filters chosen before its first row.
        constexpr int kBandStart = PNG_FILTER_SUB | PNG_FILTER_AVG;
        if (average)
            png_set_filter(png, PNG_FILTER_TYPE_BASE, bands ? kBandStart : PNG_FILTER_AVG);
        png_write_info(png, info);
        if (bands) {
            for (size_t y = 0; y < rows.size(); ++y) {
                png_set_filter(png, PNG_FILTER_TYPE_BASE,
                               y % bandRows == 0 ? kBandStart : PNG_FILTER_AVG);
                png_write_row(png, rows[y]);
            }
        } else {
            png_write_image(png, rows.data());
        }
        png_write_end(png, nullptr);
        return CoverStatus::Ok;
    }
};

// Rows a packing is tried on, in four bands spread over the picture; smaller pictures take
// level 4, as their time does not matter.
constexpr uint32_t kTrialBand = 16;
constexpr uint32_t kTrialHeight = 16 * kTrialBand;

// The fastest packing (the last of Packing's) that packs the trial rows within 1% of the
// smallest.
Packing ChoosePacking(const std::vector<png_bytep>& rows, const PixelLayout& layout,
                      int colourType) {
    if (rows.size() < kTrialHeight)
        return Packing::Matches;
    constexpr Packing kPackings[] = {Packing::Matches, Packing::Runs, Packing::AverageRuns,
                                     Packing::AverageHuffman};
    uint64_t sizes[std::size(kPackings)] = {};
    for (size_t k = 0; k < std::size(kPackings); ++k) {
        PngEncoding trial;
        for (uint32_t band = 0; band < 4; ++band) {
            const size_t first = rows.size() * (2 * band + 1) / 8;
            trial.rows.insert(trial.rows.end(), rows.begin() + static_cast<ptrdiff_t>(first),
                              rows.begin() + static_cast<ptrdiff_t>(first + kTrialBand));
        }
        uint64_t& size = sizes[k];
        IdatFilter counting([&size](const uint8_t*, size_t bytes) {
            size += bytes;
            return true;
        });
        if (trial.Run(layout, colourType, false, kPackings[k], counting, kTrialBand) !=
            CoverStatus::Ok)
            return Packing::Matches;
    }
    const uint64_t smallest = *std::min_element(std::begin(sizes), std::end(sizes));
    size_t chosen = 0;
    for (size_t k = 0; k < std::size(kPackings); ++k)
        if (sizes[k] * 100 <= smallest * 101)
            chosen = k;
    return kPackings[chosen];
}

} // namespace

// The libpng objects of one read and what it found.
struct PngCover::Decoding {
    PngChannel channel;
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<png_bytep> rows;
    PixelLayout layout;
    std::optional<std::array<int, 3>> transparent;

    ~Decoding() { png_destroy_read_struct(&png, &info, nullptr); }

    // Decodes the samples into `cover`. Everything a jump from libpng may skip lives in
    // this object or in the cover.
    CoverStatus Run(const ByteSource& source, uint64_t mostBytes, PngCover& cover) {
        png = channel.MakeReader(source);
        info = png == nullptr ? nullptr : png_create_info_struct(png);
        if (info == nullptr)
            return CoverStatus::NoMemory;
        if (setjmp(channel.jump) != 0)
            return channel.readFailed ? CoverStatus::ReadFailed : CoverStatus::Damaged;
        png_read_info(png, info);
        const CoverStatus samples = CheckSamples(png, info, mostBytes);
        if (samples != CoverStatus::Ok)
            return samples;
        cover.m_colourType = png_get_color_type(png, info);
        cover.m_interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
        png_set_interlace_handling(png);
        png_read_update_info(png, info);
        layout = LayoutOf(png, info);
        const size_t rowBytes = png_get_rowbytes(png, info);
        cover.m_pixels.resize(rowBytes * layout.height);
        rows.resize(layout.height);
        for (uint32_t y = 0; y < layout.height; ++y)
            rows[y] = cover.m_pixels.data() + y * rowBytes;
        png_read_image(png, rows.data());
        png_read_end(png, nullptr);
        transparent = TransparentColour(png, info);
        return CoverStatus::Ok;
    }
};

CoverStatus PngCover::Read(const ByteSource& source, std::unique_ptr<PngCover>& cover,
                           uint64_t mostBytes) {
    const ChunkPlan plan = PlanChunks(source);
    if (plan.end.status == EndStatus::ReadFailed)
        return CoverStatus::ReadFailed;
    if (plan.end.status != EndStatus::Found || plan.split || plan.firstIdat == 0)
        return CoverStatus::Damaged;
    if (plan.animated)
        return CoverStatus::Animated;
    std::unique_ptr<PngCover> made(new PngCover());
    made->m_before = source.HeadAt(0, static_cast<size_t>(plan.firstIdat));
    made->m_after = source.HeadAt(plan.idatEnd, static_cast<size_t>(plan.end.end - plan.idatEnd));
    if (made->m_before.size() != plan.firstIdat || made->m_after.empty())
        return CoverStatus::ReadFailed;
    const CoverStatus status = made->Load(source, mostBytes);
    if (status == CoverStatus::Ok)
        cover = std::move(made);
    return status;
}

CoverStatus PngCover::Load(const ByteSource& source, uint64_t mostBytes) {
    Decoding decoding;
    const CoverStatus status = decoding.Run(source, mostBytes, *this);
    if (status == CoverStatus::Ok)
        Index(m_pixels.data(), decoding.layout, decoding.transparent);
    return status;
}

CoverStatus PngCover::Encode(const std::function<bool(const uint8_t*, size_t)>& sink) const {
    PngEncoding encoding;
    const PixelLayout& layout = Layout();
    encoding.rows.resize(layout.height);
    // libpng takes rows as non-const but copies them before it works on them.
    auto* pixels = const_cast<uint8_t*>(m_pixels.data());
    for (uint32_t y = 0; y < layout.height; ++y)
        encoding.rows[y] = pixels + y * static_cast<size_t>(layout.rowStride);
    IdatFilter idat(sink);
    const Packing packing = ChoosePacking(encoding.rows, layout, m_colourType);
    return encoding.Run(layout, m_colourType, m_interlaced, packing, idat);
}

CoverStatus PngCover::Write(std::vector<uint8_t>& out) const {
    out = m_before;
    bool noMemory = false;
    const CoverStatus status = Encode([&](const uint8_t* data, size_t size) {
        try {
            out.insert(out.end(), data, data + size);
        } catch (const std::bad_alloc&) {
            noMemory = true;
        }
        return !noMemory;
    });
    if (status != CoverStatus::Ok)
        return noMemory ? CoverStatus::NoMemory : status;
    out.insert(out.end(), m_after.begin(), m_after.end());
    return CoverStatus::Ok;
}

// Streams the new IDAT chunks between the kept parts, so that the encoded picture is never
// held whole.
CoverStatus PngCover::Write(FILE* out) const {
    const auto put = [out](const uint8_t* data, size_t size) {
        errno = 0;
        return std::fwrite(data, 1, size, out) == size;
    };
    if (!put(m_before.data(), m_before.size()))
        return CoverStatus::WriteFailed;
    const CoverStatus status = Encode(put);
    if (status != CoverStatus::Ok)
        return status;
    errno = 0;
    if (!put(m_after.data(), m_after.size()) || std::fflush(out) != 0)
        return CoverStatus::WriteFailed;
    return CoverStatus::Ok;
}

} // namespace lumora
