// SPDX-License-Identifier: GPL-2.0-or-later
#include "picture/PictureKind.h"

#include "PictureSamples.h"

#include <gtest/gtest.h>

namespace lumora::test {
namespace {

using namespace std::string_view_literals;

struct KindCase {
    const char* name;
    std::vector<uint8_t> bytes;
    PictureKind kind;
};

std::vector<uint8_t> Of(std::string_view text) {
    return {text.begin(), text.end()};
}

std::vector<uint8_t> LongTextCutInsideALetter() {
    return Of(std::string(kKindHeadBytes - 1, 'a') + "\xC3\xBC and more");
}

// Names the case alone in test lists.
void PrintTo(const KindCase& c, std::ostream* out) {
    *out << c.name;
}

class PictureKindTest : public testing::TestWithParam<KindCase> {};

TEST_P(PictureKindTest, IsToldByTheFirstBytes) {
    const KindCase& c = GetParam();
    EXPECT_EQ(KindOf(MemorySource(c.bytes)), c.kind);
    EXPECT_EQ(IsPicture(c.kind), c.kind < PictureKind::Zip);
}

const KindCase kKindCases[] = {
    {"jpeg", SampleJpeg(), PictureKind::Jpeg},
    {"jpeg_signature_alone", Of("\xFF\xD8\xFF"), PictureKind::Jpeg},
    {"png", SamplePng(), PictureKind::Png},
    {"gif", SampleGif(), PictureKind::Gif},
    {"gif87", Of("GIF87a\x01\0\x01\0\0\0\0;"sv), PictureKind::Gif},
    {"bmp", SampleBmp(70, false), PictureKind::Bmp},
    {"bmp_with_unknown_header_size", Of("BM\x10\0\0\0\0\0\0\0\x36\0\0\0\x63\0\0\0"sv),
     PictureKind::Unknown},
    {"webp", SampleWebP(3), PictureKind::WebP},
    {"riff_wave", Of("RIFF\x24\0\0\0WAVEfmt "sv), PictureKind::Unknown},
    {"tiff_little", SampleTiff(false), PictureKind::Tiff},
    {"tiff_big", SampleTiff(true), PictureKind::Tiff},
    {"ico", SampleIco(), PictureKind::Ico},
    {"wmf_placeable", SampleWmf(true), PictureKind::Wmf},
    {"wmf_plain", SampleWmf(false), PictureKind::Wmf},
    {"emf", SampleEmf(), PictureKind::Emf},
    {"zip", Of("PK\x03\x04\x14\0\0\0\x08\0"sv), PictureKind::Zip},
    {"empty_zip", Joined(Of("PK\x05\x06"), std::string(18, '\0')), PictureKind::Zip},
    {"gzip", Of("\x1F\x8B\x08\0\0\0\0\0\0\x03"sv), PictureKind::Gzip},
    {"pdf", Of("%PDF-1.7\n%\xE2\xE3\xCF\xD3\n"), PictureKind::Pdf},
    {"elf",
     Of("\x7F"
        "ELF\x02\x01\x01\0\0\0"sv),
     PictureKind::Elf},
    {"svg_after_prolog",
     Of("<?xml version=\"1.0\"?>\n<!-- drawn by hand -->\n<!DOCTYPE svg PUBLIC \"-//W3C//DTD "
        "SVG 1.1//EN\" \"svg11.dtd\">\n<svg xmlns=\"http://www.w3.org/2000/svg\"/>"),
     PictureKind::Svg},
    {"svg_with_bom_and_subset", Of("\xEF\xBB\xBF<!DOCTYPE svg [ <!ENTITY a \"b\"> ]>\n<svg>"),
     PictureKind::Svg},
    {"xml_of_another_root", Of("<?xml version=\"1.0\"?><html><svg/></html>"), PictureKind::Text},
    {"root_named_like_svg", Of("<svgfont/>"), PictureKind::Text},
    {"utf8_text",
     Of("Gr\xC3\xBC\xC3\x9F"
        "e aus K\xC3\xB6ln\r\n\tund Tabs\f"),
     PictureKind::Text},
    {"text_cut_inside_a_letter_by_the_head", LongTextCutInsideALetter(), PictureKind::Text},
    {"text_cut_inside_a_letter_by_its_end", Of("caf\xC3"), PictureKind::Unknown},
    {"latin1_text", Of("caf\xE9 au lait"), PictureKind::Unknown},
    {"text_with_nul", Of("line\0with a nul"sv), PictureKind::Unknown},
    {"one_byte_letter", Of("a"), PictureKind::Text},
    {"one_byte_binary", Of("\xFF"), PictureKind::Unknown},
    {"empty", {}, PictureKind::Empty},
};

INSTANTIATE_TEST_SUITE_P(Kinds, PictureKindTest, testing::ValuesIn(kKindCases),
                         testing::PrintToStringParamName());

} // namespace
} // namespace lumora::test
