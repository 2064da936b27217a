// SPDX-License-Identifier: GPL-2.0-or-later
#include "BenchPictures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <png.h>

namespace lumora::bench {
namespace {

uint32_t Hash(uint32_t x, uint32_t y, uint32_t salt) {
    uint32_t h = x * 0x8DA6B343u ^ y * 0xD8163841u ^ salt * 0xCB1AB31Fu;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    return h ^ (h >> 15);
}

// Value noise in [-1, 1] on a lattice of `cell` pixels, smoothly interpolated.
float Lattice(size_t x, size_t y, size_t cell, uint32_t salt) {
    const auto gx = static_cast<uint32_t>(x / cell), gy = static_cast<uint32_t>(y / cell);
    const float fx = static_cast<float>(x % cell) / static_cast<float>(cell);
    const float fy = static_cast<float>(y % cell) / static_cast<float>(cell);
    const auto corner = [&](uint32_t dx, uint32_t dy) {
        return static_cast<float>(Hash(gx + dx, gy + dy, salt) >> 8) / 8388608.0f - 1.0f;
    };
    const float sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    const float top = corner(0, 0) + (corner(1, 0) - corner(0, 0)) * sx;
    const float bottom = corner(0, 1) + (corner(1, 1) - corner(0, 1)) * sx;
    return top + (bottom - top) * sy;
}

// Octaves from 1024-pixel cells down to 2-pixel ones, each at 0.65 of the one above.
float Fractal(size_t x, size_t y, uint32_t salt) {
    float sum = 0, amplitude = 1;
    for (size_t cell = 1024; cell >= 2; cell /= 2, amplitude *= 0.65f)
        sum += amplitude * Lattice(x, y, cell, salt + static_cast<uint32_t>(cell));
    return sum;
}

} // namespace

RgbPicture PhotoLikePicture(size_t width, size_t height, uint32_t seed) {
    RgbPicture picture{width, height, std::vector<uint8_t>(width * height * 3)};
    for (size_t y = 0; y < height; ++y) {
        for (size_t x = 0; x < width; ++x) {
            const float light = 128 + 70 * Fractal(x, y, seed);
            const float warm = 25 * Fractal(x, y, seed + 7);
            const float green = 15 * Fractal(x, y, seed + 13);
            // Sensor grain: a triangular spread of about six levels.
            const uint32_t h = Hash(static_cast<uint32_t>(x), static_cast<uint32_t>(y), seed);
            float grain[3];
            for (size_t c = 0; c < 3; ++c)
                grain[c] =
                    static_cast<float>(((h >> (10 * c)) & 31) + ((h >> (10 * c + 5)) & 31)) / 5.0f -
                    6.2f;
            const float rgb[3] = {light + warm, light + green, light - warm};
            for (size_t c = 0; c < 3; ++c)
                picture.samples[(y * width + x) * 3 + c] =
                    static_cast<uint8_t>(std::clamp(rgb[c] + grain[c], 0.0f, 255.0f));
        }
    }
    return picture;
}

std::vector<uint8_t> EncodeJpeg(const RgbPicture& picture, int quality) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = static_cast<JDIMENSION>(picture.width);
    info.image_height = static_cast<JDIMENSION>(picture.height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row[1] = {const_cast<JSAMPLE*>(picture.samples.data()) +
                           size_t{info.next_scanline} * picture.width * 3};
        jpeg_write_scanlines(&info, row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<uint8_t> jpeg(out, out + size);
    std::free(out);
    return jpeg;
}

std::vector<uint8_t> EncodePng(const RgbPicture& picture) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, size_t size) {
            auto* bytes = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
            bytes->insert(bytes->end(), data, data + size);
        },
        nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width),
                 static_cast<png_uint_32>(picture.height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (size_t y = 0; y < picture.height; ++y)
        png_write_row(png, picture.samples.data() + y * picture.width * 3);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

} // namespace lumora::bench
