// SPDX-License-Identifier: GPL-2.0-or-later
// Storing a block must never cost what level 9 would have saved: the blocks DeflateBlock
// stores are the random-looking ones, and nothing that zlib can shrink is stored.
#include "archive/BlockDeflate.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <string>
#include <zlib.h>

namespace lumora {
namespace {

using Bytes = std::vector<uint8_t>;
using test::PseudoRandomBytes;

// What zlib itself gives for the block, with the settings of the archive writer.
size_t ZlibLevel9Size(const Bytes& dictionary, const Bytes& input, bool last) {
    z_stream z{};
    EXPECT_EQ(Z_OK, deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY));
    if (!dictionary.empty())
        deflateSetDictionary(&z, dictionary.data(), static_cast<uInt>(dictionary.size()));
    Bytes out(deflateBound(&z, input.size()) + 16);
    z.next_in = const_cast<Bytef*>(input.data());
    z.avail_in = static_cast<uInt>(input.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH);
    const size_t size = out.size() - z.avail_out;
    deflateEnd(&z);
    return size;
}

Bytes Inflate(const Bytes& dictionary, const Bytes& stream, size_t size, bool last) {
    z_stream z{};
    EXPECT_EQ(Z_OK, inflateInit2(&z, -MAX_WBITS));
    if (!dictionary.empty())
        inflateSetDictionary(&z, dictionary.data(), static_cast<uInt>(dictionary.size()));
    Bytes out(size + 1024);
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int result = inflate(&z, Z_SYNC_FLUSH);
    EXPECT_EQ(last ? Z_STREAM_END : Z_OK, result);
    EXPECT_EQ(0u, z.avail_in);
    out.resize(out.size() - z.avail_out);
    inflateEnd(&z);
    return out;
}

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Random bytes of which about one in `every` is a zero: a little less even than random.
Bytes Biased(size_t size, uint32_t seed, int every) {
    Bytes bytes = PseudoRandomBytes(size, seed);
    const Bytes picks = PseudoRandomBytes(size, seed + 1);
    for (size_t i = 0; i < size; ++i)
        if (picks[i] % every == 0)
            bytes[i] = 0;
    return bytes;
}

TEST(IncompressibleBlock, OnlyBlocksThatLevel9WouldStoreAreStored) {
    const size_t block = kDeflateBlockSize;
    const Bytes random = PseudoRandomBytes(block, 11);
    const Bytes dictionary = PseudoRandomBytes(kDeflateDictionarySize, 12);
    Bytes sevenBits = PseudoRandomBytes(block, 13);
    for (uint8_t& b : sevenBits)
        b &= 0x7f;
    Bytes halves = PseudoRandomBytes(block, 14);
    for (size_t i = 0; i < block / 2; ++i)
        halves[i] |= 0x80;
    const struct {
        const char* name;
        Bytes dictionary;
        Bytes input;
        bool last;
        bool stored;
    } cases[] = {
        {"random", {}, random, false, true},
        {"random, the entry's end", dictionary, random, true, true},
        {"random after random", dictionary, random, false, true},
        {"one piece and a bit", {}, PseudoRandomBytes(20000, 15), true, true},
        {"shorter than a piece", {}, PseudoRandomBytes(16000, 16), false, false},
        {"one zero in 256 more than random", {}, Biased(block, 17, 256), false, true},
        {"one zero in 32 more than random", {}, Biased(block, 19, 32), false, false},
        {"seven bits a byte", {}, sevenBits, false, false},
        {"halves of different bytes", {}, halves, false, false},
        {"random said twice",
         {},
         Concat(Bytes(random.begin(), random.begin() + block / 2),
                Bytes(random.begin(), random.begin() + block / 2)),
         false,
         false},
        {"repeats its dictionary", dictionary,
         Concat(dictionary, PseudoRandomBytes(block - dictionary.size(), 21)), false, false},
        {"400 bytes said again 1000 bytes on",
         {},
         Concat(random, Bytes(random.end() - 1000, random.end() - 600)),
         false,
         false},
        {"text", {}, test::TextLikeBytes(block), true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes out(DeflateBlockBound(c.input.size()));
        const size_t size = DeflateBlock(c.dictionary.data(), c.dictionary.size(), c.input.data(),
                                         c.input.size(), c.last, out.data());
        ASSERT_GT(size, 0u);
        out.resize(size);
        const size_t storedSize = c.input.size() + 5 * ((c.input.size() + 0xfffe) / 0xffff);
        EXPECT_EQ(c.stored, size == storedSize);
        EXPECT_LE(size, ZlibLevel9Size(c.dictionary, c.input, c.last));
        EXPECT_EQ(c.input, Inflate(c.dictionary, out, c.input.size(), c.last));
    }
}

} // namespace
} // namespace lumora
