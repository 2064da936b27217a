// SPDX-License-Identifier: GPL-2.0-or-later
// lumora_ws_table PICTURE.png...: for each photograph, the WS payload estimate (the mean
// over its colour channels) of the picture as it is, after LSB replacement of 0.1 bits per
// sample at random places, and after weaving an archive at the capacity ceiling (0.1 bits
// per usable sample), as a Markdown table. docs/PERFORMANCE.md records its output.
#include "WsEstimator.h"
#include "engine/WovenCarrier.h"
#include "weave/PixelCover.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>

namespace {

using namespace lumora;
using Bytes = std::vector<uint8_t>;

Bytes ReadAll(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// The samples of an 8-bit PNG or BMP, decoded by the cover reader; empty for other files.
std::unique_ptr<CoverImage> Decode(const Bytes& picture) {
    CoverRead read = ReadCover(MemorySource(picture));
    if (read.status != CoverStatus::Ok || read.cover->Kind() == PictureKind::Jpeg)
        return nullptr;
    return std::move(read.cover);
}

double MeanEstimate(const CoverImage& cover, const std::vector<int>& values) {
    const PixelLayout& layout = static_cast<const PixelCover&>(cover).Layout();
    std::vector<uint8_t> plane(size_t{layout.width} * layout.height);
    double sum = 0;
    for (uint32_t c = 0; c < layout.channels; ++c) {
        for (size_t i = 0; i < plane.size(); ++i)
            plane[i] = static_cast<uint8_t>(values[i * layout.channels + c]);
        sum += bench::WsPayload(plane.data(), layout.width, layout.height, layout.width, 1);
    }
    return sum / layout.channels;
}

std::vector<int> Values(const CoverImage& cover) {
    std::vector<int> values(cover.ElementCount());
    for (uint64_t i = 0; i < values.size(); ++i)
        values[i] = cover.Value(i);
    return values;
}

} // namespace

int main(int argc, char** argv) {
    UseWovenTestFormat(true); // the key derivation does not change what is measured
    std::printf("| picture | samples | untouched | LSB replacement, 0.1 bits per sample | woven, "
                "0.1 bits per usable sample |\n|---|---|---|---|---|\n");
    for (int a = 1; a < argc; ++a) {
        const Bytes file = ReadAll(argv[a]);
        const std::unique_ptr<CoverImage> cover = Decode(file);
        if (!cover) {
            std::fprintf(stderr, "%s: not an 8-bit PNG or BMP\n", argv[a]);
            continue;
        }
        std::vector<int> values = Values(*cover);
        const double untouched = MeanEstimate(*cover, values);

        std::vector<int> replaced = values;
        std::mt19937_64 random(static_cast<uint64_t>(a));
        for (int& value : replaced)
            if (random() % 10 == 0)
                value = (value & ~1) | static_cast<int>(random() & 1);
        const double lsb = MeanEstimate(*cover, replaced);

        Bytes woven;
        const WovenCapacityResult capacity = WovenCapacity(MemorySource(file));
        Bytes archive(capacity.size.capacityBytes);
        for (uint8_t& byte : archive)
            byte = static_cast<uint8_t>(random());
        WovenKeys keys;
        if (NewWovenKeys(Password("ws"), keys) != SealedOutcome::Ok) {
            std::fprintf(stderr, "cannot derive woven keys\n");
            return 1;
        }
        if (Weave(MemorySource(file), archive, keys, &woven).outcome != WovenOutcome::Ok) {
            std::fprintf(stderr, "%s: weaving failed\n", argv[a]);
            continue;
        }
        const std::unique_ptr<CoverImage> after = Decode(woven);
        const double wovenEstimate = MeanEstimate(*after, Values(*after));
        std::printf("| %s | %llu | %.4f | %.4f | %.4f |\n", argv[a],
                    static_cast<unsigned long long>(values.size()), untouched, lsb, wovenEstimate);
    }
    return 0;
}
