// SPDX-License-Identifier: GPL-2.0-or-later
// The weighted-stego (WS) estimator of the payload of LSB replacement in a plane of 8-bit
// samples (J. Fridrich and M. Goljan, "On estimation of secret message length in LSB
// steganography in spatial domain", 2004, with the weights and the four-neighbour predictor
// of A. D. Ker and R. Böhme, "Revisiting weighted stego-image steganalysis", 2008). It
// estimates the share of samples whose least significant bit was replaced: about 0 for an
// untouched photograph, about p for p bits per sample of LSB replacement. A measuring tool
// for docs/PERFORMANCE.md, not part of the programs.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumora::bench {

// The estimate for one channel: samples at (x, y) are plane[y * rowStride + x * step].
double WsPayload(const uint8_t* plane, size_t width, size_t height, size_t rowStride, size_t step);

} // namespace lumora::bench
