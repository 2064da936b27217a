// SPDX-License-Identifier: GPL-2.0-or-later
// The one rule whether a file holds classic data, at its edges: the verdict on a trailer,
// and that reading it from a file, and opening the file as a carrier, agree with it.
#include "EngineTestSupport.h"

#include "engine/ClassicData.h"
#include "engine/OpenedCarrier.h"
#include "engine/TrailerCodec.h"
#include "support/Sessions.h"

#include <cstring>
#include <sys/stat.h>

namespace lumora {

static void PrintTo(TrailerVerdict verdict, std::ostream* out) {
    *out << static_cast<int>(verdict);
}

namespace test {
namespace {

struct TrailerCase {
    const char* name;
    int64_t fileSize;
    int32_t imageLength;
    int32_t payloadLength;
    uint16_t version;
    const char* magic;
    TrailerVerdict verdict;
};

void PrintTo(const TrailerCase& c, std::ostream* out) {
    *out << c.name;
}

class ClassicDataTest : public EngineTest, public ::testing::WithParamInterface<TrailerCase> {
protected:
    CarrierTrailer Trailer() const {
        CarrierTrailer trailer{};
        trailer.imageLength = GetParam().imageLength;
        trailer.payloadLength = GetParam().payloadLength;
        trailer.version = GetParam().version;
        std::memcpy(trailer.magic, GetParam().magic, 2);
        return trailer;
    }
    // A file of fileSize bytes that ends in the trailer, where it has room for it.
    std::string File() const {
        Bytes bytes = PseudoRandomBytes(static_cast<size_t>(GetParam().fileSize), 5);
        if (GetParam().fileSize >= kTrailerSize) {
            const TrailerBytes trailer = EncodeTrailer(Trailer());
            std::copy(trailer.begin(), trailer.end(), bytes.end() - kTrailerSize);
        }
        return MakeFile("file.bin", bytes);
    }
};

TEST_P(ClassicDataTest, TheVerdictIsTheSameWhereverItIsAskedFor) {
    const TrailerCase& c = GetParam();
    EXPECT_EQ(JudgeTrailer(Trailer(), c.fileSize), c.verdict);
    const bool classic = c.verdict == TrailerVerdict::Classic;
    EXPECT_EQ(HoldsClassicData(Trailer(), c.fileSize), classic);
    const std::string file = File();
    const std::optional<CarrierTrailer> read = ClassicTrailerOf(file);
    ASSERT_EQ(read.has_value(), classic);
    if (read) {
        EXPECT_EQ(read->payloadLength, c.payloadLength);
    }
    std::unique_ptr<OpenedCarrier> opened = OpenAt(file);
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(opened->Verdict(), c.verdict);
    EXPECT_EQ(opened->HoldsClassicData(), classic);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, ClassicDataTest,
    ::testing::Values(
        TrailerCase{"fits exactly", 1260, 1000, 200, 1, "VZ", TrailerVerdict::Classic},
        TrailerCase{"bytes before the image part", 1300, 1000, 200, 1, "VZ",
                    TrailerVerdict::Classic},
        TrailerCase{"smallest", 62, 1, 1, 1, "VZ", TrailerVerdict::Classic},
        TrailerCase{"one byte short", 1259, 1000, 200, 1, "VZ", TrailerVerdict::OutsideFile},
        TrailerCase{"negative image part", 1260, -1, 200, 1, "VZ", TrailerVerdict::OutsideFile},
        TrailerCase{"negative payload", 1260, 1000, -5, 1, "VZ", TrailerVerdict::OutsideFile},
        TrailerCase{"empty image part", 260, 0, 200, 1, "VZ", TrailerVerdict::EmptyPart},
        TrailerCase{"empty payload", 1060, 1000, 0, 1, "VZ", TrailerVerdict::EmptyPart},
        TrailerCase{"a bare trailer", 60, 0, 0, 1, "VZ", TrailerVerdict::EmptyPart},
        TrailerCase{"version 2", 1260, 1000, 200, 2, "VZ", TrailerVerdict::OtherVersion},
        TrailerCase{"version 0", 1260, 1000, 200, 0, "VZ", TrailerVerdict::OtherVersion},
        TrailerCase{"other magic", 1260, 1000, 200, 1, "ZV", TrailerVerdict::None},
        TrailerCase{"shorter than a trailer", 59, 0, 0, 1, "VZ", TrailerVerdict::None}));

// Only a regular file is read, and a FIFO never makes the reader wait.
TEST_F(EngineTest, ClassicTrailersAreReadFromRegularFilesOnly) {
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
    for (const std::string& path : {Path("fifo"), m_dir.Path(), Path("missing")})
        EXPECT_FALSE(ClassicTrailerOf(path).has_value()) << path;
}

} // namespace
} // namespace test
} // namespace lumora
