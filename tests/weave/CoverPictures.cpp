// SPDX-License-Identifier: GPL-2.0-or-later
#include "CoverPictures.h"

#include "picture/PngChunks.h"
#include "support/ByteWriter.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>

namespace lumora::test {
namespace {

struct QuietJpegErrors {
    jpeg_error_mgr manager{};
    std::jmp_buf jump{};
    int warnings = 0;
    jpeg_error_mgr* Install() {
        jpeg_std_error(&manager);
        manager.error_exit = [](j_common_ptr info) {
            std::longjmp(reinterpret_cast<QuietJpegErrors*>(info->err)->jump, 1);
        };
        manager.emit_message = [](j_common_ptr info, int level) {
            reinterpret_cast<QuietJpegErrors*>(info->err)->warnings += level < 0 ? 1 : 0;
        };
        return &manager;
    }
};

struct JpegReader {
    jpeg_decompress_struct info{};
    QuietJpegErrors errors;
    std::vector<JSAMPLE> row;
    ~JpegReader() { jpeg_destroy_decompress(&info); }

    bool Start(const Bytes& jpeg) {
        info.err = errors.Install();
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, jpeg.data(), jpeg.size());
        jpeg_save_markers(&info, JPEG_COM, 0xFFFF);
        for (int n = 0; n < 16; ++n)
            jpeg_save_markers(&info, JPEG_APP0 + n, 0xFFFF);
        return jpeg_read_header(&info, TRUE) == JPEG_HEADER_OK;
    }
    bool Coefficients(const Bytes& jpeg, JpegFacts& facts) {
        if (setjmp(errors.jump) != 0 || !Start(jpeg))
            return false;
        jvirt_barray_ptr* arrays = jpeg_read_coefficients(&info);
        for (int c = 0; c < info.num_components; ++c) {
            const jpeg_component_info& component = info.comp_info[c];
            for (JDIMENSION y = 0; y < component.height_in_blocks; ++y) {
                JBLOCKROW blocks = *info.mem->access_virt_barray(
                    reinterpret_cast<j_common_ptr>(&info), arrays[c], y, 1, FALSE);
                for (JDIMENSION x = 0; x < component.width_in_blocks; ++x)
                    facts.ac.insert(facts.ac.end(), blocks[x] + 1, blocks[x] + DCTSIZE2);
            }
            facts.quant.emplace_back();
            std::copy_n(component.quant_table->quantval, DCTSIZE2, facts.quant.back().begin());
            facts.sampling.push_back(component.h_samp_factor * 16 + component.v_samp_factor);
        }
        facts.restartInterval = info.restart_interval;
        facts.progressive = info.progressive_mode != FALSE;
        for (jpeg_saved_marker_ptr m = info.marker_list; m != nullptr; m = m->next)
            facts.markers.push_back(std::string(1, static_cast<char>(m->marker)) +
                                    std::string(m->data, m->data + m->data_length));
        return true;
    }
    // The warnings of a full decompression, -1 when libjpeg fails.
    int Decode(const Bytes& jpeg) {
        if (setjmp(errors.jump) != 0 || !Start(jpeg))
            return -1;
        jpeg_start_decompress(&info);
        row.resize(size_t{info.output_width} * static_cast<size_t>(info.output_components));
        for (JSAMPROW rows[1] = {row.data()}; info.output_scanline < info.output_height;)
            jpeg_read_scanlines(&info, rows, 1);
        jpeg_finish_decompress(&info);
        return errors.warnings;
    }
};

uint8_t Texture(int x, int y, int channel) {
    return static_cast<uint8_t>(x * 37 + y * 91 + channel * 53 + (x * y % 7) * 29);
}

} // namespace

Bytes MakeJpeg(const JpegRecipe& recipe) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = static_cast<JDIMENSION>(recipe.width);
    info.image_height = static_cast<JDIMENSION>(recipe.height);
    info.input_components = recipe.components;
    info.in_color_space = recipe.components == 1   ? JCS_GRAYSCALE
                          : recipe.components == 4 ? JCS_CMYK
                                                   : JCS_RGB;
    jpeg_set_defaults(&info);
    if (!recipe.subsampled)
        info.comp_info[0].h_samp_factor = info.comp_info[0].v_samp_factor = 1;
    if (recipe.progressive)
        jpeg_simple_progression(&info);
    std::vector<jpeg_scan_info> script; // libjpeg reads it until the compression ends
    if (recipe.lowBitsUnsent) {
        script.push_back(jpeg_scan_info{recipe.components, {0, 1, 2, 3}, 0, 0, 0, 0});
        for (int c = 0; c < recipe.components; ++c)
            script.push_back(jpeg_scan_info{1, {c}, 1, DCTSIZE2 - 1, 0, 1});
        info.scan_info = script.data();
        info.num_scans = static_cast<int>(script.size());
    }
    info.optimize_coding = recipe.optimized ? TRUE : FALSE;
    info.arith_code = recipe.arithmetic ? TRUE : FALSE;
    info.restart_interval = recipe.restartInterval;
    jpeg_start_compress(&info, TRUE);
    if (recipe.markers) {
        const std::string exif("Exif\0\0MM\0*\0\0\0\x08\0\0", 16);
        const std::string icc = std::string("ICC_PROFILE\0\x01\x01", 14) + std::string(300, 'p');
        const std::string comment = "written by the cover tests";
        const std::pair<int, std::string> markers[] = {
            {JPEG_APP0 + 1, exif}, {JPEG_APP0 + 2, icc}, {JPEG_COM, comment}};
        for (const auto& [code, data] : markers)
            jpeg_write_marker(&info, code, reinterpret_cast<const JOCTET*>(data.data()),
                              static_cast<unsigned>(data.size()));
    }
    std::vector<JSAMPLE> row(static_cast<size_t>(recipe.width * recipe.components));
    for (int y = 0; y < recipe.height; ++y) {
        for (int x = 0; x < recipe.width; ++x)
            for (int c = 0; c < recipe.components; ++c)
                row[static_cast<size_t>(x * recipe.components + c)] = Texture(x, y, c);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    Bytes jpeg(out, out + size);
    std::free(out);
    return jpeg;
}

JpegFacts ReadJpegFacts(const Bytes& jpeg) {
    JpegFacts facts;
    if (!JpegReader().Coefficients(jpeg, facts))
        return {};
    facts.decodeWarnings = JpegReader().Decode(jpeg);
    return facts;
}

Bytes RecompressJpeg(const Bytes& jpeg, int quality, int cropLeft, int cropTop) {
    JpegReader reader;
    if (setjmp(reader.errors.jump) != 0 || !reader.Start(jpeg))
        return {};
    jpeg_start_decompress(&reader.info);
    const int components = reader.info.output_components;
    const auto width = static_cast<int>(reader.info.output_width);
    const auto height = static_cast<int>(reader.info.output_height);
    std::vector<JSAMPLE> pixels(static_cast<size_t>(width * height * components));
    for (JSAMPROW rows[1]; reader.info.output_scanline < reader.info.output_height;) {
        rows[0] = pixels.data() + size_t{reader.info.output_scanline} * width * components;
        jpeg_read_scanlines(&reader.info, rows, 1);
    }
    jpeg_finish_decompress(&reader.info);

    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = static_cast<JDIMENSION>(width - cropLeft);
    info.image_height = static_cast<JDIMENSION>(height - cropTop);
    info.input_components = components;
    info.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    for (int y = cropTop; y < height; ++y) {
        JSAMPROW rows[1] = {pixels.data() +
                            (static_cast<size_t>(y) * width + cropLeft) * components};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    Bytes recompressed(out, out + size);
    std::free(out);
    return recompressed;
}

namespace {

struct PngWriter {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_infop end = png_create_info_struct(png);
    Bytes out;
    ~PngWriter() {
        png_destroy_info_struct(png, &end);
        png_destroy_write_struct(&png, &info);
    }
};

struct PngReader {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    const Bytes* in = nullptr;
    size_t at = 0;
    Bytes samples;
    std::vector<png_bytep> rows;
    ~PngReader() { png_destroy_read_struct(&png, &info, nullptr); }

    bool Run(const Bytes& bytes) {
        in = &bytes;
        if (setjmp(png_jmpbuf(png)) != 0)
            return false;
        png_set_read_fn(png, this, [](png_structp p, png_bytep data, size_t size) {
            auto* reader = static_cast<PngReader*>(png_get_io_ptr(p));
            if (reader->at + size > reader->in->size())
                png_error(p, "short");
            std::copy_n(reader->in->begin() + static_cast<ptrdiff_t>(reader->at), size, data);
            reader->at += size;
        });
        png_read_info(png, info);
        png_set_interlace_handling(png);
        png_read_update_info(png, info);
        const size_t rowBytes = png_get_rowbytes(png, info);
        samples.resize(rowBytes * png_get_image_height(png, info));
        for (size_t offset = 0; offset < samples.size(); offset += rowBytes)
            rows.push_back(samples.data() + offset);
        png_read_image(png, rows.data());
        return true;
    }
};

} // namespace

namespace {

// A sample of noise, the same for the same place.
int Noise(int x, int y, int c) {
    uint32_t h = static_cast<uint32_t>(x) * 0x9E3779B1u ^ static_cast<uint32_t>(y) * 0x85EBCA77u ^
                 static_cast<uint32_t>(c) * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return static_cast<int>(h & 0xFF);
}

} // namespace

Bytes MakePng(const PngRecipe& recipe) {
    PngWriter w;
    png_set_write_fn(
        w.png, &w.out,
        [](png_structp png, png_bytep data, size_t size) {
            auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
            out->insert(out->end(), data, data + size);
        },
        nullptr);
    const bool single = !recipe.pixels.empty();
    const int width = single ? static_cast<int>(recipe.pixels.size()) : recipe.width;
    const int height = single ? 1 : recipe.height;
    png_set_IHDR(w.png, w.info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height),
                 recipe.bitDepth, recipe.colourType,
                 recipe.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color palette[2] = {{0, 0, 0}, {255, 255, 255}};
    if (recipe.colourType == PNG_COLOR_TYPE_PALETTE)
        png_set_PLTE(w.png, w.info, palette, 2);
    png_color_16 transparent{0, 100, 100, 100, 100};
    if (recipe.transparentColour)
        png_set_tRNS(w.png, w.info, nullptr, 0, &transparent);
    png_color_8 significant{5, 5, 5, 5, 8};
    if (recipe.lowSignificantBits)
        png_set_sBIT(w.png, w.info, &significant);
    png_set_gAMA(w.png, w.info, 0.45455);
    png_text before{}, after{};
    before.compression = after.compression = PNG_TEXT_COMPRESSION_NONE;
    before.key = const_cast<char*>("Title");
    before.text = const_cast<char*>("before the pixels");
    after.key = const_cast<char*>("Comment");
    after.text = const_cast<char*>("after the pixels");
    png_set_text(w.png, w.info, &before, 1);
    png_set_text(w.png, w.end, &after, 1);
    png_write_info(w.png, w.info);
    if (recipe.animated) {
        const png_byte control[8] = {0, 0, 0, 1, 0, 0, 0, 0};
        png_write_chunk(w.png, reinterpret_cast<png_const_bytep>("acTL"), control, 8);
    }
    const int channels = png_get_channels(w.png, w.info);
    std::vector<Bytes> rows(static_cast<size_t>(height), Bytes(width * 8u, 0));
    for (int y = 0;
         recipe.bitDepth == 8 && recipe.colourType != PNG_COLOR_TYPE_PALETTE && y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < channels; ++c) {
                const bool alpha = (recipe.colourType & PNG_COLOR_MASK_ALPHA) && c == channels - 1;
                const int value =
                    single  ? recipe.pixels[static_cast<size_t>(x)][static_cast<size_t>(c)]
                    : alpha ? (x % 4 == 0   ? 0
                               : x % 4 == 1 ? 1
                                            : 255)
                    : recipe.texture != 0 ? Noise(x % recipe.texture, recipe.sameRows ? 0 : y, c)
                    : y == 8              ? (x % 2 != 0 ? 255 : 0)
                                          : 96 + (x + 2 * y + 3 * c) % 9;
                rows[static_cast<size_t>(y)][static_cast<size_t>(x * channels + c)] =
                    static_cast<uint8_t>(value);
            }
        }
    }
    std::vector<png_bytep> pointers;
    for (Bytes& row : rows)
        pointers.push_back(row.data());
    png_write_image(w.png, pointers.data());
    png_write_end(w.png, w.end);
    return w.out;
}

Bytes DecodePng(const Bytes& png) {
    PngReader reader;
    return reader.Run(png) ? reader.samples : Bytes{};
}

std::vector<Bytes> ChunksBesidesIdat(const Bytes& png) {
    std::vector<Bytes> chunks;
    WalkPng(MemorySource(png), [&](const PngChunk& chunk) {
        const auto start = png.begin() + static_cast<ptrdiff_t>(chunk.offset);
        if (chunk.type != PngChunkType("IDAT"))
            chunks.emplace_back(start, start + 12 + chunk.length);
    });
    return chunks;
}

Bytes MakeBmp(unsigned bits, bool topDown, uint32_t compression, uint32_t red, uint32_t width,
              uint32_t height) {
    const uint32_t rowBytes = (width * bits + 31) / 32 * 4, offset = compression == 3 ? 66 : 54;
    ByteWriter w;
    w.Text("BM").Le32(offset + height * rowBytes).Le32(0).Le32(offset).Le32(40).Le32(width);
    w.Le32(topDown ? static_cast<uint32_t>(-static_cast<int32_t>(height)) : height);
    w.Le16(1).Le16(bits).Le32(compression);
    w.Le32(0).Le32(2835).Le32(2835).Le32(0).Le32(0);
    if (compression == 3)
        w.Le32(red).Le32(0xFF00).Le32(0xFF);
    for (uint32_t i = 0; i < height * rowBytes; ++i)
        w.U8(i * 41 % 256 | 1);
    return w.bytes;
}

std::unique_ptr<CoverImage> MustRead(const Bytes& bytes) {
    CoverRead read = ReadCover(MemorySource(bytes));
    EXPECT_EQ(read.status, CoverStatus::Ok);
    return std::move(read.cover);
}

std::vector<int> ChangeEvery(CoverImage& cover, uint64_t stride) {
    std::vector<int> values;
    for (uint64_t i = 0; i < cover.ElementCount(); ++i) {
        const Steps steps = cover.AllowedSteps(i);
        if (stride != 0 && i % stride == 0 && steps.Any()) {
            EXPECT_TRUE(cover.Change(i, steps.down ? -1 : 1));
        }
        values.push_back(cover.Value(i));
    }
    return values;
}

} // namespace lumora::test
