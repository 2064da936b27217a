// SPDX-License-Identifier: GPL-2.0-or-later
// What woven data sees of a cover: its usable elements, numbered 0 to Count() - 1 in the
// cover's element order, each with its parity and, for embedding, the costs of moving it
// one step.
//
// Elements that are not usable (fully transparent pixels, pixels at or next to a PNG's
// transparent colour) are left out of the numbering rather than kept as elements that may
// not change: the usable set is the same after any changes a cover allows, so a reader
// numbers the elements exactly as the writer did, and no position is wasted on an element
// that can carry nothing. JPEG covers have every element usable.
//
// Parity is the value modulo 2, of the absolute value for negative values (the lowest bit
// of the two's complement value is the same). Costs are UERD costs for JPEG coefficients and
// HILL costs for samples, infinite on a side where the cover allows no step.
#pragma once

#include "weave/ChangeChoice.h"
#include "weave/CoverImage.h"
#include "weave/UsableIndex.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace lumora::weave {

class WovenCover {
public:
    // A view of cover, which must outlive it, without costs (reading needs none): Ok;
    // NoMemory; TooLarge when the cover has more than 2^32 - 1 elements or its coefficients
    // cannot be seen as one array; NotSupported for a cover of another kind.
    static CoverStatus Make(CoverImage& cover, std::unique_ptr<WovenCover>& out);

    virtual ~WovenCover() = default;
    WovenCover(const WovenCover&) = delete;
    WovenCover& operator=(const WovenCover&) = delete;

    // Usable elements.
    uint64_t Count() const { return m_index.Count(); }
    // What the capacity ceiling counts: the non-zero AC coefficients of a JPEG, the usable
    // samples of a picture of pixels.
    virtual uint64_t CeilingCount() const = 0;

    // Replaces count usable indices with their elements' parities (0 or 1) into parities;
    // usable is overwritten with the element indices.
    void Parities(uint32_t* usable, size_t count, uint8_t* parities) const;
    // The parities of the consecutive usable elements first, first + 1, ...
    // first + count - 1 (each below Count()), read one after the other as the picture holds
    // them, where Parities reads each element wherever it lies.
    void ParitiesInOrder(uint64_t first, size_t count, uint8_t* parities) const;
    // The cost of flipping each of count usable elements (the cheaper step; infinite: it may
    // not move), without their parities, which a writer takes from OrderedParities: most
    // kinds find a cost without reading the element, which lies somewhere in the picture.
    // usable is overwritten with the element indices. Only once the costs are prepared.
    void FlipCosts(uint32_t* usable, size_t count, float* costs) const;
    // Moves `element` (an element index, as FlipCosts leaves them) one step: the cheaper way,
    // or up when both cost the same and upOnTie is set. False, and nothing changed, when it
    // may not move.
    bool ChangeElement(uint32_t element, bool upOnTie);
    // Asks the processor to fetch what ChangeElement reads of `element`: a caller changing
    // many scattered elements names each some changes ahead, so that the misses overlap.
    virtual void FetchForChange(uint32_t element) const = 0;

    // Works the costs out, for embedding: Ok, NoMemory, or Damaged when the picture's own
    // numbers rule costs out (a quantization step of 0).
    virtual CoverStatus PrepareCosts() = 0;
    // Drops the costs, once the changes are made, to free their memory.
    virtual void DropCosts() = 0;

protected:
    WovenCover(CoverImage& cover, UsableIndex index) : m_cover(cover), m_index(std::move(index)) {}

    // Parities and costs of element indices. The elements of a batch lie scattered over the
    // whole picture, one cache miss each: the batches fetch kFetchAhead elements ahead of the
    // one they read, so that the misses overlap.
    virtual void ElementParities(const uint32_t* elements, size_t count,
                                 uint8_t* parities) const = 0;
    virtual void ElementFlipCosts(const uint32_t* elements, size_t count, float* costs) const = 0;
    virtual ChangeCosts ElementCosts(uint32_t element) const = 0;
    // Parities of the element indices first, first + 1, ... first + count - 1.
    virtual void RunParities(uint32_t first, size_t count, uint8_t* parities) const = 0;

    static constexpr size_t kFetchAhead = 32;

    // Calls read(i, at(elements[i])) for each element in turn, having first handed fetch
    // at(element) for the element kFetchAhead on.
    template <typename At, typename Fetch, typename Read>
    static void Visit(const uint32_t* elements, size_t count, At at, Fetch fetch, Read read) {
        for (size_t i = 0; i < count; ++i) {
            if (i + kFetchAhead < count)
                fetch(at(elements[i + kFetchAhead]));
            read(i, at(elements[i]));
        }
    }

private:
    CoverImage& m_cover;
    UsableIndex m_index;
};

} // namespace lumora::weave
