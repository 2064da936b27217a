// SPDX-License-Identifier: GPL-2.0-or-later
// A picture of 8-bit samples as a cover (the common part of PngCover and BmpCover).
//
// Elements are the colour samples: pixel by pixel from the top row down and from the left,
// and within a pixel grey, or red, green, blue (in that order, whatever order the file
// stores them in). Element i is channel i % C of pixel i / C, C being 1 or 3. Alpha, and
// the unused fourth byte of a 32-bit BMP pixel, are never elements.
//
// Usable pixels: all of them, except
//   - fully transparent pixels (alpha 0), and
//   - where the picture names a transparent colour T (PNG's tRNS), pixels P with
//     max over channels |P_c - T_c| <= 1: the colour itself and its neighbours.
// Samples of other pixels are usable elements. A usable sample may move one step, up or
// down, from its value in the cover (within 0..255), except that when a pixel's distance
// max |P_c - T_c| is exactly 2, no channel at distance 2 may step towards T_c. So any
// set of changes keeps every usable pixel at distance 2 or more and every other pixel as
// it was: the changed picture has the same usable pixels, no pixel gains or loses the
// transparent colour, and alpha is never touched.
#pragma once

#include "weave/CoverImage.h"
#include "weave/HillCosts.h"

#include <array>
#include <optional>

namespace lumora {

// Where the samples lie in a buffer of bytes.
struct PixelLayout {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t channels = 0;                  // colour channels: 1 (grey) or 3
    uint32_t pixelBytes = 0;                // from one pixel to the next in a row
    std::array<uint32_t, 3> channelAt = {}; // grey, or red, green, blue, within a pixel
    std::optional<uint32_t> alphaAt;        // alpha within a pixel, if there is alpha
    uint64_t topRow = 0;                    // the offset of the top row's first pixel
    int64_t rowStride = 0;                  // from a row to the one below it
};

class PixelCover : public CoverImage {
public:
    const PixelLayout& Layout() const { return m_layout; }
    // Cost inputs: a sample at column x, row y (from the top), and whether its pixel is usable.
    uint8_t Sample(uint32_t x, uint32_t y, uint32_t channel) const {
        return m_bytes[PixelOffset(x, y) + m_layout.channelAt[channel]];
    }
    bool UsablePixel(uint32_t x, uint32_t y) const;
    // One colour channel as a plane for the costs, in the order the rows lie in memory:
    // from the top, or from the bottom when the file stores them bottom-up (then plane row r
    // is picture row height - 1 - r).
    weave::SamplePlane ChannelPlane(uint32_t channel) const;
    bool RowsBottomUp() const { return m_layout.rowStride < 0; }
    // Whether the picture names a transparent colour, the only case in which a sample may
    // be kept from a step that stays within 0..255.
    bool HasTransparentColour() const { return m_transparent.has_value(); }
    // Makes the record of the steps taken, as the first change would, and for a picture with
    // a transparent colour marks the pixels at distance 2 from it: a writer calls it ahead,
    // a reader never needs it. Throws std::bad_alloc.
    void PrepareSteps() const;

    uint64_t ElementCount() const override { return m_elements; }
    uint64_t UsableCount() const override { return m_usable; }
    bool Usable(uint64_t index) const override;
    int Value(uint64_t index) const override;
    Steps AllowedSteps(uint64_t index) const override;
    // The same for the sample of `channel` at column x, row y (from the top).
    Steps AllowedStepsAt(uint32_t x, uint32_t y, uint32_t channel) const;
    // Asks the processor to fetch what AllowedStepsAt reads beyond the pixel itself, ahead
    // of a run of scattered look-ups.
    void FetchStepsAhead(uint32_t x, uint32_t y, uint32_t channel) const;
    bool Change(uint64_t index, int step) override;

protected:
    PixelCover() = default;
    // Sets the elements up over `bytes`, which the subclass owns and never moves again;
    // `transparent` is the tRNS colour (grey, or red, green, blue).
    void Index(uint8_t* bytes, const PixelLayout& layout,
               std::optional<std::array<int, 3>> transparent);

private:
    uint64_t PixelOffset(uint32_t x, uint32_t y) const {
        return static_cast<uint64_t>(static_cast<int64_t>(m_layout.topRow) +
                                     m_layout.rowStride * static_cast<int64_t>(y)) +
               uint64_t{x} * m_layout.pixelBytes;
    }
    uint8_t* SampleAt(uint64_t index) const;
    // The largest difference between a pixel's channels and the transparent colour.
    int Distance(uint64_t pixelOffset) const;
    // The same for the pixel as the cover had it, before any step taken.
    int DistanceBefore(uint64_t pixelOffset, uint64_t firstElement) const;
    // Whether the pixel's distance was exactly 2 in the cover (a transparent colour only).
    bool AtTheEdge(uint64_t pixel, uint64_t pixelOffset, uint64_t firstElement) const;
    // The step an element has taken from its value in the cover: -1, 0 or +1.
    int Moved(uint64_t index) const;
    void PutMoved(uint64_t index, int step);

    uint8_t* m_bytes = nullptr;
    PixelLayout m_layout;
    std::optional<std::array<int, 3>> m_transparent;
    uint64_t m_elements = 0;
    uint64_t m_usable = 0;
    // Two bits an element, the step it has taken, made by the first change (reading woven
    // data never changes one, so a reader does not hold the memory); a cover is used from
    // one thread at a time.
    mutable std::vector<uint8_t> m_moves;
    // With a transparent colour, one bit a pixel: at distance 2 in the cover. Made ahead with
    // the record of moves, so that a writer's look-ups need not undo the steps taken.
    mutable std::vector<uint64_t> m_edges;
};

} // namespace lumora
