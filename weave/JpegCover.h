// SPDX-License-Identifier: GPL-2.0-or-later
// A JPEG as a cover, through libjpeg's coefficient interface only: the picture is never
// decompressed or recompressed.
//
// Elements are the quantized AC coefficients of every block, numbered component by
// component (in the frame's order), then block row by block row from the top, block by
// block from the left, then coefficient 1 to 63 in natural (row-major, not zigzag) order.
// DC coefficients are not elements. Every element is usable; a step is allowed while the
// value stays within -1023..1023, the range 8-bit JPEG codes AC coefficients in.
//
// Writing keeps the quantization tables, sampling factors, restart interval, the scan
// script (so baseline or progressive, and the cover's own progression) and every APPn and
// COM marker, in their order, right after the start of the image (the JFIF and Adobe
// markers are among them; libjpeg adds none of its own). Huffman tables are the standard
// ones where the cover used only those, else optimal ones, since a changed coefficient may
// need a code the cover's own tables lack. Nothing follows the end marker.
#pragma once

#include "weave/CoverImage.h"

#include <array>
#include <memory>
#include <span>

namespace lumora {

class JpegCover final : public CoverImage {
public:
    // The cover in `source`. Refused: arithmetic coding, 12-bit samples, four components
    // (CMYK, YCCK), two components, and pictures libjpeg reads only with corrupt-data
    // warnings or an AC coefficient out of range; coefficients of more than `mostBytes`.
    static CoverStatus Read(const ByteSource& source, std::unique_ptr<JpegCover>& cover,
                            uint64_t mostBytes = kMostCoverBytes);
    ~JpegCover() override;

    // Cost inputs: each component's grid of blocks and its quantization table.
    struct Grid {
        uint32_t widthInBlocks = 0;
        uint32_t heightInBlocks = 0;
        std::array<uint16_t, 64> quant{}; // natural order
        uint64_t firstElement = 0;        // the index of the component's first element
        // Blocks from one row to the next in memory: widthInBlocks, or more where libjpeg
        // pads a row to a multiple of the sampling factor.
        uint32_t blocksPerRow = 0;
    };
    size_t ComponentCount() const { return m_grids.size(); }
    const Grid& ComponentGrid(size_t component) const { return m_grids[component]; }
    // The 64 coefficients of a block, DC first, in natural order.
    const int16_t* Block(size_t component, uint32_t row, uint32_t column) const;
    // Every block row of a component in one array: heightInBlocks rows of blocksPerRow
    // blocks, 64 coefficients each. Empty when libjpeg holds the rows in more than one piece
    // (it cuts them only past about a gigabyte).
    std::span<const int16_t> Coefficients(size_t component) const;
    bool Progressive() const;
    unsigned RestartInterval() const;

    PictureKind Kind() const override { return PictureKind::Jpeg; }
    uint64_t ElementCount() const override { return m_elements; }
    uint64_t UsableCount() const override { return m_elements; }
    bool Usable(uint64_t index) const override { return index < m_elements; }
    int Value(uint64_t index) const override;
    Steps AllowedSteps(uint64_t index) const override;
    bool Change(uint64_t index, int step) override;
    CoverStatus Write(std::vector<uint8_t>& out) const override;
    CoverStatus Write(FILE* out) const override;

private:
    struct Decoder;
    JpegCover();
    CoverStatus Load(const ByteSource& source, uint64_t mostBytes);
    int16_t* Element(uint64_t index) const;

    std::unique_ptr<Decoder> m_decoder;
    std::vector<Grid> m_grids;
    uint64_t m_elements = 0;
};

} // namespace lumora
