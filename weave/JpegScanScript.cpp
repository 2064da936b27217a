// SPDX-License-Identifier: GPL-2.0-or-later
#include "weave/JpegScanScript.h"

#include "picture/JpegSegments.h"

#include <algorithm>
#include <array>

namespace lumora {
namespace {

// One start-of-scan header: Ns, Ns pairs of (component id, tables), Ss, Se, Ah/Al.
bool ParseScan(const std::vector<uint8_t>& header, const jpeg_decompress_struct& info,
               jpeg_scan_info& scan) {
    if (header.empty())
        return false;
    const int count = header[0];
    if (count < 1 || count > MAX_COMPS_IN_SCAN ||
        header.size() != 1 + 2 * static_cast<size_t>(count) + 3)
        return false;
    scan.comps_in_scan = count;
    for (int i = 0; i < count; ++i) {
        const int id = header[1 + 2 * static_cast<size_t>(i)];
        int index = -1;
        for (int c = 0; c < info.num_components; ++c)
            if (info.comp_info[c].component_id == id)
                index = c;
        if (index < 0)
            return false;
        scan.component_index[i] = index;
    }
    const size_t tail = 1 + 2 * static_cast<size_t>(count);
    scan.Ss = header[tail];
    scan.Se = header[tail + 1];
    scan.Ah = header[tail + 2] >> 4;
    scan.Al = header[tail + 2] & 0x0F;
    return true;
}

} // namespace

bool ReadScanScript(const ByteSource& source, const jpeg_decompress_struct& info,
                    std::vector<jpeg_scan_info>& scans) {
    scans.clear();
    bool valid = true;
    const PictureEnd end = WalkJpeg(source, [&](const JpegSegment& segment) {
        if (segment.marker != jpeg_marker::kSos || !valid)
            return;
        const std::vector<uint8_t> header = source.HeadAt(segment.offset + 4, segment.length - 2u);
        jpeg_scan_info scan{};
        valid = ParseScan(header, info, scan);
        scans.push_back(scan);
    });
    return valid && end.status == EndStatus::Found && !scans.empty();
}

bool SendsEveryBit(const std::vector<jpeg_scan_info>& scans, int components) {
    std::array<std::array<bool, DCTSIZE2>, MAX_COMPONENTS> sent{};
    for (const jpeg_scan_info& scan : scans) {
        if (scan.Al != 0)
            continue;
        for (int i = 0; i < scan.comps_in_scan; ++i) {
            auto& bands = sent[static_cast<size_t>(scan.component_index[i])];
            for (int k = scan.Ss; k <= std::min(scan.Se, DCTSIZE2 - 1); ++k)
                bands[static_cast<size_t>(k)] = true;
        }
    }
    return std::all_of(sent.begin(), sent.begin() + components, [](const auto& bands) {
        return std::all_of(bands.begin(), bands.end(), [](bool b) { return b; });
    });
}

} // namespace lumora
