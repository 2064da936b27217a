// SPDX-License-Identifier: GPL-2.0-or-later
#include "weave/JpegCover.h"

#include "weave/JpegLibrary.h"
#include "weave/JpegScanScript.h"

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>

namespace lumora {
namespace {

constexpr int kAcCoefficients = DCTSIZE2 - 1;
constexpr int kLargestAc = 1023;

static_assert(sizeof(JCOEF) == sizeof(int16_t));

// The header checks that come before any coefficient is read.
CoverStatus CheckHeader(const jpeg_decompress_struct& info, uint64_t mostBytes) {
    if (info.arith_code)
        return CoverStatus::ArithmeticCoding;
    if (info.data_precision != 8)
        return CoverStatus::NotEightBit;
    if (info.num_components == 4)
        return CoverStatus::CmykColour;
    if (info.num_components != 1 && info.num_components != 3)
        return CoverStatus::UnsupportedLayout;
    uint64_t bytes = 0;
    for (int c = 0; c < info.num_components; ++c) {
        const jpeg_component_info& component = info.comp_info[c];
        bytes += uint64_t{component.width_in_blocks} * component.height_in_blocks * sizeof(JBLOCK);
    }
    return bytes > mostBytes ? CoverStatus::TooLarge : CoverStatus::Ok;
}

bool SameTable(const JHUFF_TBL& a, const JHUFF_TBL& b) {
    if (std::memcmp(a.bits, b.bits, sizeof a.bits) != 0)
        return false;
    int symbols = 0;
    for (int length = 1; length <= 16; ++length)
        symbols += a.bits[length];
    return std::memcmp(a.huffval, b.huffval, static_cast<size_t>(std::min(symbols, 256))) == 0;
}

// True when every Huffman table the cover defines is one of the standard tables of its
// class, which `standard` (a compressor after jpeg_set_defaults) holds in slots 0 and 1.
bool UsesStandardTables(const jpeg_decompress_struct& cover, const jpeg_compress_struct& standard) {
    const auto isStandard = [](const JHUFF_TBL* table, JHUFF_TBL* const* standards) {
        return table == nullptr || (standards[0] != nullptr && SameTable(*table, *standards[0])) ||
               (standards[1] != nullptr && SameTable(*table, *standards[1]));
    };
    for (int slot = 0; slot < NUM_HUFF_TBLS; ++slot) {
        if (!isStandard(cover.dc_huff_tbl_ptrs[slot], standard.dc_huff_tbl_ptrs) ||
            !isStandard(cover.ac_huff_tbl_ptrs[slot], standard.ac_huff_tbl_ptrs))
            return false;
    }
    return true;
}

// True when no AC coefficient lies outside what 8-bit JPEG can code.
bool AcInRange(const std::vector<std::vector<JBLOCKROW>>& rows,
               const std::vector<JpegCover::Grid>& grids) {
    for (size_t c = 0; c < rows.size(); ++c) {
        for (const JBLOCKROW row : rows[c]) {
            for (JDIMENSION column = 0; column < grids[c].widthInBlocks; ++column) {
                const JCOEF* block = row[column];
                if (std::any_of(block + 1, block + DCTSIZE2,
                                [](JCOEF value) { return std::abs(value) > kLargestAc; }))
                    return false;
            }
        }
    }
    return true;
}

} // namespace

struct JpegCover::Decoder {
    jpeg_decompress_struct info{};
    JpegErrors errors;
    JpegSourceFeed feed;
    jvirt_barray_ptr* arrays = nullptr;
    std::vector<std::vector<JBLOCKROW>> rows; // by component, then block row
    std::vector<jpeg_scan_info> scans;        // empty when the cover's own leaves bits unsent

    ~Decoder() { jpeg_destroy_decompress(&info); }
};

namespace {

// One compression of the cover's coefficients, with its own error manager.
struct JpegWriter {
    jpeg_compress_struct info{};
    JpegErrors errors;
    JpegVectorSink sink;

    ~JpegWriter() { jpeg_destroy_compress(&info); }

    // Writes `arrays` with everything else taken from `cover`, into `memory` or `file`.
    CoverStatus Run(const jpeg_decompress_struct& cover, jvirt_barray_ptr* arrays,
                    const std::vector<jpeg_scan_info>& scans, std::vector<uint8_t>* memory,
                    FILE* file) {
        info.err = errors.Install();
        if (setjmp(errors.jump) != 0)
            return errors.Status();
        jpeg_create_compress(&info);
        if (memory != nullptr)
            sink.Attach(&info, *memory);
        else
            jpeg_stdio_dest(&info, file);
        // libjpeg takes the source as non-const but only reads it here.
        jpeg_copy_critical_parameters(const_cast<jpeg_decompress_struct*>(&cover), &info);
        info.restart_interval = cover.restart_interval;
        info.write_JFIF_header = FALSE;
        info.write_Adobe_marker = FALSE;
        info.optimize_coding = UsesStandardTables(cover, info) ? FALSE : TRUE;
        if (!scans.empty()) {
            info.scan_info = scans.data();
            info.num_scans = static_cast<int>(scans.size());
        } else if (cover.progressive_mode) {
            jpeg_simple_progression(&info);
        }
        jpeg_write_coefficients(&info, arrays);
        for (jpeg_saved_marker_ptr marker = cover.marker_list; marker != nullptr;
             marker = marker->next)
            jpeg_write_marker(&info, marker->marker, marker->data, marker->data_length);
        jpeg_finish_compress(&info);
        return CoverStatus::Ok;
    }
};

} // namespace

JpegCover::JpegCover() : m_decoder(std::make_unique<Decoder>()) {}

JpegCover::~JpegCover() = default;

CoverStatus JpegCover::Read(const ByteSource& source, std::unique_ptr<JpegCover>& cover,
                            uint64_t mostBytes) {
    std::unique_ptr<JpegCover> made(new JpegCover());
    const CoverStatus status = made->Load(source, mostBytes);
    if (status == CoverStatus::Ok)
        cover = std::move(made);
    return status;
}

// Everything a jump from libjpeg may skip lives in the decoder, none of it on this frame.
CoverStatus JpegCover::Load(const ByteSource& source, uint64_t mostBytes) {
    Decoder& d = *m_decoder;
    d.info.err = d.errors.Install();
    if (setjmp(d.errors.jump) != 0)
        return d.errors.Status();
    jpeg_create_decompress(&d.info);
    d.feed.Attach(&d.info, source, d.errors);
    jpeg_save_markers(&d.info, JPEG_COM, 0xFFFF);
    for (int n = 0; n < 16; ++n)
        jpeg_save_markers(&d.info, JPEG_APP0 + n, 0xFFFF);
    jpeg_read_header(&d.info, TRUE);
    const CoverStatus header = CheckHeader(d.info, mostBytes);
    if (header != CoverStatus::Ok)
        return header;
    d.arrays = jpeg_read_coefficients(&d.info);
    if (d.errors.corruptWarnings > 0)
        return CoverStatus::Damaged;
    d.rows.resize(static_cast<size_t>(d.info.num_components));
    for (int c = 0; c < d.info.num_components; ++c) {
        const jpeg_component_info& component = d.info.comp_info[c];
        for (JDIMENSION row = 0; row < component.height_in_blocks; ++row)
            d.rows[static_cast<size_t>(c)].push_back(*d.info.mem->access_virt_barray(
                reinterpret_cast<j_common_ptr>(&d.info), d.arrays[c], row, 1, TRUE));
    }
    m_grids.resize(d.rows.size());
    for (size_t c = 0; c < m_grids.size(); ++c) {
        const jpeg_component_info& component = d.info.comp_info[c];
        Grid& grid = m_grids[c];
        grid.widthInBlocks = component.width_in_blocks;
        grid.heightInBlocks = component.height_in_blocks;
        // libjpeg pads each row of the coefficient array to whole MCUs.
        grid.blocksPerRow = static_cast<uint32_t>(
            (component.width_in_blocks + static_cast<JDIMENSION>(component.h_samp_factor) - 1) /
            static_cast<JDIMENSION>(component.h_samp_factor) *
            static_cast<JDIMENSION>(component.h_samp_factor));
        if (component.quant_table == nullptr)
            return CoverStatus::Damaged;
        std::copy_n(component.quant_table->quantval, DCTSIZE2, grid.quant.begin());
        grid.firstElement = m_elements;
        m_elements += uint64_t{grid.widthInBlocks} * grid.heightInBlocks * kAcCoefficients;
    }
    if (!AcInRange(d.rows, m_grids))
        return CoverStatus::Damaged;
    if (!ReadScanScript(source, d.info, d.scans))
        return CoverStatus::Damaged;
    if (!SendsEveryBit(d.scans, d.info.num_components))
        d.scans.clear();
    return CoverStatus::Ok;
}

int16_t* JpegCover::Element(uint64_t index) const {
    size_t c = m_grids.size() - 1;
    while (c > 0 && index < m_grids[c].firstElement)
        --c;
    const Grid& grid = m_grids[c];
    const uint64_t local = index - grid.firstElement;
    const uint64_t block = local / kAcCoefficients;
    const auto row = static_cast<size_t>(block / grid.widthInBlocks);
    const auto column = static_cast<size_t>(block % grid.widthInBlocks);
    return &m_decoder->rows[c][row][column][local % kAcCoefficients + 1];
}

const int16_t* JpegCover::Block(size_t component, uint32_t row, uint32_t column) const {
    return m_decoder->rows[component][row][column];
}

std::span<const int16_t> JpegCover::Coefficients(size_t component) const {
    const std::vector<JBLOCKROW>& rows = m_decoder->rows[component];
    const size_t stride = m_grids[component].blocksPerRow;
    for (size_t row = 1; row < rows.size(); ++row)
        if (rows[row] != rows[0] + row * stride)
            return {};
    return {reinterpret_cast<const int16_t*>(rows[0]), rows.size() * stride * DCTSIZE2};
}

bool JpegCover::Progressive() const {
    return m_decoder->info.progressive_mode != FALSE;
}

unsigned JpegCover::RestartInterval() const {
    return m_decoder->info.restart_interval;
}

int JpegCover::Value(uint64_t index) const {
    return index < m_elements ? *Element(index) : 0;
}

Steps JpegCover::AllowedSteps(uint64_t index) const {
    if (index >= m_elements)
        return {};
    const int value = *Element(index);
    return {value > -kLargestAc, value < kLargestAc};
}

bool JpegCover::Change(uint64_t index, int step) {
    const Steps allowed = AllowedSteps(index);
    if (!((step == 1 && allowed.up) || (step == -1 && allowed.down)))
        return false;
    int16_t* element = Element(index);
    *element = static_cast<int16_t>(*element + step);
    return true;
}

CoverStatus JpegCover::Write(std::vector<uint8_t>& out) const {
    JpegWriter writer;
    out.clear();
    const CoverStatus status =
        writer.Run(m_decoder->info, m_decoder->arrays, m_decoder->scans, &out, nullptr);
    if (status != CoverStatus::Ok)
        out.clear();
    return status;
}

CoverStatus JpegCover::Write(FILE* out) const {
    JpegWriter writer;
    return writer.Run(m_decoder->info, m_decoder->arrays, m_decoder->scans, nullptr, out);
}

} // namespace lumora
