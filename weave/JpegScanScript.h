// SPDX-License-Identifier: GPL-2.0-or-later
// A JPEG's scan script (which components each scan holds, its spectral band and its
// successive-approximation bits), read from its start-of-scan headers in the form
// libjpeg's compressor takes, so that a rewritten picture keeps the cover's own script
// rather than one libjpeg would choose.
#pragma once

#include "picture/ByteSource.h"

#include <cstdio>
#include <jpeglib.h>
#include <vector>

namespace lumora {

// The scans of the JPEG in `source`, whose components `info` (after jpeg_read_header)
// describes. False when a start-of-scan header does not hold together or the stream
// cannot be walked to its end marker.
bool ReadScanScript(const ByteSource& source, const jpeg_decompress_struct& info,
                    std::vector<jpeg_scan_info>& scans);

// True when `scans` send every bit of every coefficient of the first `components`
// components. A progressive script may stop short of that (without refinement scans, or
// leaving bands out), and a change to a bit the script never sends would be lost.
bool SendsEveryBit(const std::vector<jpeg_scan_info>& scans, int components);

} // namespace lumora
