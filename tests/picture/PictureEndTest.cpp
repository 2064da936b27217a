// SPDX-License-Identifier: GPL-2.0-or-later
#include "picture/PictureEnd.h"

#include "PictureSamples.h"
#include "support/ReferenceCarriers.h"
#include "support/TestFiles.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace lumora::test {
namespace {

using namespace std::string_view_literals;
using K = PictureKind;
using S = EndStatus;

struct EndCase {
    const char* name;
    PictureKind kind;
    std::vector<uint8_t> bytes;
    EndStatus status;
    uint64_t end = 0; // when Found
};

std::vector<uint8_t> Of(std::string_view text) {
    return {text.begin(), text.end()};
}

std::vector<uint8_t> Cut(std::vector<uint8_t> bytes, size_t size) {
    bytes.resize(size);
    return bytes;
}

// `bytes` with `values` written over them from `offset` on.
std::vector<uint8_t> Patched(std::vector<uint8_t> bytes, size_t offset,
                             std::initializer_list<uint8_t> values) {
    std::copy(values.begin(), values.end(), bytes.begin() + static_cast<ptrdiff_t>(offset));
    return bytes;
}

constexpr std::string_view kTrailer = "PK\x03\x04 hidden \xFF\xD9 IEND ;"sv;

// Names the case alone in test lists.
void PrintTo(const EndCase& c, std::ostream* out) {
    *out << c.name;
}

class PictureEndTest : public testing::TestWithParam<EndCase> {};

TEST_P(PictureEndTest, FollowsTheStructureToTheEnd) {
    const EndCase& c = GetParam();
    const PictureEnd end = FindPictureEnd(MemorySource(c.bytes), c.kind);
    EXPECT_EQ(end.status, c.status);
    if (c.status == S::Found) {
        EXPECT_EQ(end.end, c.end);
    }
}

const size_t kJpeg = SampleJpeg().size(), kPng = SamplePng().size(), kGif = SampleGif().size();
constexpr size_t kFirstIdat = 8 + 25 + 28; // after the signature, IHDR and tEXt

const EndCase kEndCases[] = {
    {"jpeg", K::Jpeg, SampleJpeg(), S::Found, kJpeg},
    {"jpeg_then_data", K::Jpeg, Joined(SampleJpeg(), kTrailer), S::Found, kJpeg},
    {"jpeg_without_end_marker", K::Jpeg, Cut(SampleJpeg(), kJpeg - 2), S::Truncated},
    {"jpeg_cut_in_a_segment", K::Jpeg, Cut(SampleJpeg(), 8), S::Truncated},
    {"jpeg_segment_longer_than_file", K::Jpeg, Of("\xFF\xD8\xFF\xE0\xFF\xFF\0\0\xFF\xD9"sv),
     S::Truncated},
    {"jpeg_length_below_two", K::Jpeg, Of("\xFF\xD8\xFF\xE0\0\x01\xFF\xD9"sv), S::Malformed},
    {"jpeg_second_start", K::Jpeg, Of("\xFF\xD8\xFF\xD8\xFF\xD9"), S::Malformed},
    {"jpeg_bytes_between_segments", K::Jpeg, Of("\xFF\xD8\x00\xFF\xD9"sv), S::Malformed},
    {"jpeg_fill_bytes", K::Jpeg, Of("\xFF\xD8\xFF\xFF\xFF\xD9 after"), S::Found, 6},
    {"jpeg_empty", K::Jpeg, {}, S::Truncated},
    {"jpeg_one_byte", K::Jpeg, Of("\xFF"), S::Truncated},
    {"png", K::Png, SamplePng(), S::Found, kPng},
    {"png_then_data", K::Png, Joined(SamplePng(), kTrailer), S::Found, kPng},
    {"png_without_iend", K::Png, Cut(SamplePng(), kPng - 1), S::Truncated},
    {"png_cut_in_idat", K::Png, Cut(SamplePng(), kFirstIdat + 6), S::Truncated},
    {"png_length_above_2_31", K::Png, Patched(SamplePng(), kFirstIdat, {0x80}), S::Malformed},
    {"png_length_past_end", K::Png, Patched(SamplePng(), kFirstIdat, {0x10}), S::Truncated},
    {"png_first_chunk_not_ihdr", K::Png, Patched(SamplePng(), 12, {'i'}), S::Malformed},
    {"png_type_not_letters", K::Png, Patched(SamplePng(), kFirstIdat + 6, {'4'}), S::Malformed},
    {"png_one_byte", K::Png, Of("\x89"), S::Truncated},
    {"gif", K::Gif, SampleGif(), S::Found, kGif},
    {"gif_then_data", K::Gif, Joined(SampleGif(), kTrailer), S::Found, kGif},
    {"gif_without_trailer", K::Gif, Cut(SampleGif(), kGif - 1), S::Truncated},
    {"gif_unknown_block", K::Gif, Patched(SampleGif(), 19, {0x99}), S::Malformed},
    {"gif_header_only", K::Gif, Of("GIF89a"), S::Truncated},
    {"bmp", K::Bmp, SampleBmp(70, false), S::Found, 70},
    {"bmp_then_data", K::Bmp, Joined(SampleBmp(70, false), kTrailer), S::Found, 70},
    {"bmp_top_down", K::Bmp, Joined(SampleBmp(70, true), kTrailer), S::Found, 70},
    {"bmp_size_field_zero", K::Bmp, Joined(SampleBmp(0, false), kTrailer), S::Found, 70},
    {"bmp_size_field_below_pixels", K::Bmp, Joined(SampleBmp(60, false), kTrailer), S::Found, 70},
    {"bmp_size_field_past_pixels", K::Bmp, Joined(SampleBmp(75, false), kTrailer), S::Found, 75},
    {"bmp_size_field_past_file", K::Bmp, Joined(SampleBmp(5000, false), kTrailer), S::Found, 70},
    {"bmp_pixels_cut", K::Bmp, Cut(SampleBmp(70, false), 69), S::Truncated},
    {"bmp_pixels_inside_header", K::Bmp, Patched(SampleBmp(70, false), 10, {20}), S::Malformed},
    {"bmp_huge_height", K::Bmp, Patched(SampleBmp(70, false), 22, {0xFF, 0xFF, 0xFF, 0x7F}),
     S::Truncated},
    {"webp_padded", K::WebP, SampleWebP(3), S::Found, 24},
    {"webp_then_data", K::WebP, Joined(SampleWebP(4), kTrailer), S::Found, 24},
    {"webp_cut", K::WebP, Cut(SampleWebP(4), 23), S::Truncated},
    {"webp_size_below_four", K::WebP, Patched(SampleWebP(4), 4, {2, 0, 0, 0}), S::Malformed},
    {"tiff_little", K::Tiff, SampleTiff(false), S::Found, 128},
    {"tiff_big_then_data", K::Tiff, Joined(SampleTiff(true), kTrailer), S::Found, 128},
    {"tiff_strip_cut", K::Tiff, Cut(SampleTiff(false), 127), S::Truncated},
    {"tiff_chain_loops", K::Tiff, Patched(SampleTiff(false), 70, {8}), S::Malformed},
    {"tiff_exif_points_back", K::Tiff, Patched(SampleTiff(false), 66, {8}), S::Malformed},
    {"tiff_strip_count_past_file", K::Tiff, Patched(SampleTiff(false), 38, {0, 0, 0, 0x40}),
     S::Truncated},
    {"tiff_strip_without_counts", K::Tiff, Patched(SampleTiff(false), 46, {0x18}), S::Unknown},
    {"tiff_big_format", K::Tiff, Of("II+\0\x08\0\0\0"sv), S::Unknown},
    {"ico", K::Ico, Joined(SampleIco(), kTrailer), S::Found, 118},
    {"ico_image_cut", K::Ico, Cut(SampleIco(), 117), S::Truncated},
    {"ico_image_inside_directory", K::Ico, Patched(SampleIco(), 18, {10, 0}), S::Malformed},
    {"wmf_placeable", K::Wmf, Joined(SampleWmf(true), kTrailer), S::Found, 46},
    {"wmf_plain", K::Wmf, Joined(SampleWmf(false), kTrailer), S::Found, 24},
    {"wmf_cut", K::Wmf, Cut(SampleWmf(false), 23), S::Truncated},
    {"wmf_size_below_header", K::Wmf, Patched(SampleWmf(false), 6, {3}), S::Malformed},
    {"emf", K::Emf, Joined(SampleEmf(), kTrailer), S::Found, 108},
    {"emf_cut", K::Emf, Cut(SampleEmf(), 100), S::Truncated},
    {"emf_size_below_header", K::Emf, Patched(SampleEmf(), 48, {40}), S::Malformed},
    {"zip", K::Zip, Of("PK\x03\x04"), S::NotPicture},
};

INSTANTIATE_TEST_SUITE_P(Kinds, PictureEndTest, testing::ValuesIn(kEndCases),
                         testing::PrintToStringParamName());

PictureKind KindOfName(const std::string& name) {
    const std::string extension = name.substr(name.rfind('.') + 1);
    return extension == "jpg"   ? K::Jpeg
           : extension == "png" ? K::Png
           : extension == "gif" ? K::Gif
                                : K::Bmp;
}

PictureLayout InspectFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_GE(fd, 0) << path;
    const PictureLayout layout = InspectPicture(DescriptorSource(fd));
    ::close(fd);
    return layout;
}

TEST(PictureEnd, ReferenceCarriersEndTheirPictureWhereTheirTrailerSays) {
    for (const ReferenceCarrier& reference : ReferenceCarriers()) {
        SCOPED_TRACE(reference.file);
        const PictureLayout carrier = InspectFile(ReferenceFile(reference.file));
        EXPECT_EQ(carrier.kind, KindOfName(reference.base));
        ASSERT_EQ(carrier.end.status, S::Found);
        EXPECT_EQ(carrier.end.end, static_cast<uint64_t>(reference.numbers.imageLength));
        EXPECT_TRUE(carrier.HasTrailingBytes());

        const PictureLayout base = InspectFile(ReferenceFile(reference.base));
        EXPECT_EQ(base.end.status, S::Found);
        EXPECT_EQ(base.end.end, base.size);
        EXPECT_FALSE(base.HasTrailingBytes());
    }
}

TEST(PictureEnd, SkipsChunksOfAFileLargerThanMemoryWouldHold) {
    // A sparse file of 2 GiB: one IDAT chunk of almost 2^31 bytes, IEND, then other data.
    TempDir dir;
    const std::vector<uint8_t> start = Cut(SamplePng(), kFirstIdat);
    const uint64_t idatLength = 0x7FFFFF00;
    const uint64_t iend = start.size() + 12 + idatLength;
    const std::vector<uint8_t> tail = Joined(Of("\0\0\0\0IEND\xAE\x42\x60\x82"sv), kTrailer);
    const int fd = ::open((dir / "large.png").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ByteWriter header;
    header.bytes = start;
    header.Be32(static_cast<uint32_t>(idatLength)).Text("IDAT");
    ASSERT_EQ(::pwrite(fd, header.bytes.data(), header.bytes.size(), 0),
              static_cast<ssize_t>(header.bytes.size()));
    ASSERT_EQ(::pwrite(fd, tail.data(), tail.size(), static_cast<off_t>(iend)),
              static_cast<ssize_t>(tail.size()));
    const PictureLayout layout = InspectPicture(DescriptorSource(fd));
    ::close(fd);
    EXPECT_EQ(layout.kind, K::Png);
    EXPECT_EQ(layout.end.status, S::Found);
    EXPECT_EQ(layout.end.end, iend + 12);
    EXPECT_EQ(layout.size, iend + tail.size());
}

TEST(PictureEnd, AFailedReadIsNotTakenForAnEnd) {
    TempDir dir;
    const int fd = ::open(dir.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const DescriptorSource folder(fd);
    const PictureLayout layout = InspectPicture(folder);
    const PictureEnd asJpeg = FindPictureEnd(folder, K::Jpeg);
    ::close(fd);
    if (folder.Size() == 0)
        GTEST_SKIP() << "this file system gives folders no size";
    EXPECT_EQ(layout.end.status, S::ReadFailed);
    EXPECT_EQ(layout.end.error, EISDIR);
    EXPECT_EQ(asJpeg.status, S::ReadFailed);
}

} // namespace
} // namespace lumora::test
