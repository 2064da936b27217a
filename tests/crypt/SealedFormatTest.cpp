// SPDX-License-Identifier: GPL-2.0-or-later
#include "crypt/SealedFormat.h"

#include "CryptTestUtil.h"
#include "platform/ByteOrder.h"
#include "support/TestFiles.h"

#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sodium.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace lumora {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using Bytes = std::vector<uint8_t>;

const std::string kVectorPassword = "sealed vector: every byte of this pässphrase counts";
constexpr size_t kVectorImageLength = 44;
constexpr size_t kChunk = kSealedChunkSize;
constexpr size_t kChunkBytes = kSealedChunkSize + 17;

std::string VectorFile(const std::string& name) {
    return std::string(LUMORA_TEST_DATA_DIR) + "/crypt/" + name;
}

struct Fd {
    explicit Fd(const std::string& path) : fd(::open(path.c_str(), O_RDWR)) {}
    ~Fd() { ::close(fd); }
    int fd;
};

SealedKey NewKey(const std::string& password) {
    SealedKey key;
    EXPECT_EQ(NewSealedKey(Password(password), key), SealedOutcome::Ok);
    return key;
}

Bytes Seal(const TempDir& dir, const Bytes& image, const Bytes& archive, const SealedKey& key) {
    WriteFile(dir / "archive", archive);
    WriteFile(dir / "carrier", image);
    Fd in(dir / "archive"), out(dir / "carrier");
    EXPECT_EQ(SealPayload(in.fd, out.fd, image.size(), key), SealedOutcome::Ok);
    return ReadFile(dir / "carrier");
}

struct Unsealed {
    SealedOutcome outcome;
    Bytes archive; // what the sink was given
    SealedHeader header;
};

Unsealed Unseal(const TempDir& dir, const Bytes& carrier, const std::string& password) {
    WriteFile(dir / "opened", carrier);
    Fd fd(dir / "opened");
    Unsealed result;
    SealedKey key;
    result.outcome = OpenSealedTail(fd.fd, carrier.size(), Password(password), key, result.header);
    if (result.outcome == SealedOutcome::Ok)
        result.outcome = UnsealPayload(fd.fd, result.header, key, [&](const uint8_t* p, size_t n) {
            result.archive.insert(result.archive.end(), p, p + n);
            return true;
        });
    return result;
}

Bytes Prefix(const Bytes& bytes, size_t n) {
    return Bytes(bytes.begin(), bytes.begin() + n);
}

// Tests run with the cheap test format; the released one is tested once, on its own.
class Sealed : public ::testing::Test {
protected:
    void SetUp() override { UseSealedTestFormat(true); }
    void TearDown() override { UseSealedTestFormat(false); }
    TempDir dir;
    const Bytes image = Prefix(ReadFile(VectorFile("sealed-vector.bin")), kVectorImageLength);
};

// Deterministic stand-in for libsodium's random source: salt, nonce and stream header come
// out the same on every run, so the writer can be checked byte for byte.
uint8_t g_draws = 0;
void DeterministicBytes(void* buf, size_t size) {
    const unsigned char seed[randombytes_SEEDBYTES] = {g_draws++};
    randombytes_buf_deterministic(buf, size, seed);
}
randombytes_implementation g_deterministic = {[]() -> const char* { return "lumora-test"; },
                                              [] {
                                                  uint32_t word;
                                                  DeterministicBytes(&word, sizeof word);
                                                  return word;
                                              },
                                              nullptr,
                                              nullptr,
                                              DeterministicBytes,
                                              nullptr};

TEST_F(Sealed, VectorOpensWithItsPasswordAndIsWrittenByteForByte) {
    const Bytes carrier = ReadFile(VectorFile("sealed-vector.bin"));
    const Bytes archive = ReadFile(VectorFile("sealed-vector.zip"));
    const Unsealed opened = Unseal(dir, carrier, kVectorPassword);
    ASSERT_EQ(opened.outcome, SealedOutcome::Ok);
    EXPECT_EQ(opened.archive, archive);
    EXPECT_EQ(opened.header.imageLength, kVectorImageLength);
    EXPECT_EQ(opened.header.payloadLength, 24 + 17 + archive.size());
    EXPECT_EQ(opened.header.formatId, kSealedFormatTest);

    // Initialised first: initialisation draws a canary of its own.
    ASSERT_GE(sodium_init(), 0);
    const std::string sodiumSource = randombytes_implementation_name();
    g_draws = 0;
    randombytes_set_implementation(&g_deterministic);
    const Bytes written = Seal(dir, image, archive, NewKey(kVectorPassword));
    randombytes_set_implementation(sodiumSource == "sysrandom"
                                       ? &randombytes_sysrandom_implementation
                                       : &randombytes_internal_implementation);
    EXPECT_EQ(test::ToHex(written), test::ToHex(carrier));
}

TEST_F(Sealed, RoundTripsAtChunkBoundaries) {
    const SealedKey key = NewKey("pw");
    for (size_t size :
         {size_t{0}, size_t{1}, kChunk - 1, kChunk, kChunk + 1, 2 * kChunk, 3 * kChunk + 100}) {
        SCOPED_TRACE(size);
        const Bytes archive = test::PseudoRandomBytes(size, 7);
        const Bytes carrier = Seal(dir, image, archive, key);
        EXPECT_EQ(static_cast<int64_t>(carrier.size()),
                  SealedCarrierSize(image.size(), archive.size()));
        EXPECT_EQ(Prefix(carrier, image.size()), image);
        const Unsealed opened = Unseal(dir, carrier, "pw");
        ASSERT_EQ(opened.outcome, SealedOutcome::Ok);
        EXPECT_EQ(opened.archive, archive);
        EXPECT_EQ(opened.header.ArchiveLength(), size);
        // The read-back of a save reuses the key it was sealed with.
        Fd fd(dir / "carrier");
        SealedHeader header;
        EXPECT_EQ(ReadSealedTail(fd.fd, carrier.size(), key, header), SealedOutcome::Ok);
        EXPECT_EQ(ReadSealedTail(fd.fd, carrier.size(), NewKey("pw"), header),
                  SealedOutcome::NotOpened);
    }
}

// Every change after the image, every cut and every addition is refused, and the sink never
// gets a byte of a chunk that did not authenticate.
TEST_F(Sealed, TamperingTruncationAndSplicingAreRefused) {
    const Bytes archive = test::PseudoRandomBytes(2 * kChunk + 100, 3);
    const SealedKey key = NewKey("pw");
    const Bytes carrier = Seal(dir, image, archive, key);
    const size_t stream = image.size(), tail = carrier.size() - kSealedTailSize;
    struct Case {
        std::string what;
        Bytes carrier;
        SealedOutcome expected;
        size_t delivered;
    };
    std::vector<Case> cases;
    auto add = [&](const std::string& what, SealedOutcome expected, size_t delivered,
                   const std::function<void(Bytes&)>& change) {
        cases.push_back({what, carrier, expected, delivered});
        change(cases.back().carrier);
    };
    auto flip = [&](size_t at, SealedOutcome expected, size_t delivered) {
        add("flip " + std::to_string(at), expected, delivered, [at](Bytes& c) { c[at] ^= 0x80; });
    };
    for (size_t at = tail; at < carrier.size(); ++at)
        flip(at, SealedOutcome::NotOpened, 0);
    flip(stream, SealedOutcome::Damaged, 0);
    flip(stream + 23, SealedOutcome::Damaged, 0);
    for (size_t chunk = 0; chunk < 3; ++chunk) {
        const size_t first = stream + 24 + chunk * kChunkBytes;
        const size_t end = chunk < 2 ? first + kChunkBytes : tail;
        for (size_t at : {first, first + 1, end - 17, end - 1})
            flip(at, SealedOutcome::Damaged, chunk * kChunk);
    }
    for (size_t cut : {size_t{1}, kSealedTailSize, kSealedTailSize + 1, carrier.size() - stream})
        add("cut " + std::to_string(cut), SealedOutcome::NotOpened, 0,
            [cut](Bytes& c) { c.resize(c.size() - cut); });
    add("appended byte", SealedOutcome::NotOpened, 0, [](Bytes& c) { c.push_back(0); });
    add("byte before the tail", SealedOutcome::Damaged, 0,
        [tail](Bytes& c) { c.insert(c.begin() + tail, 0); });
    const auto chunk0 = stream + 24, chunk1 = chunk0 + kChunkBytes, chunk2 = chunk1 + kChunkBytes;
    add("chunks swapped", SealedOutcome::Damaged, 0, [&](Bytes& c) {
        std::swap_ranges(c.begin() + chunk0, c.begin() + chunk1, c.begin() + chunk1);
    });
    add("chunk dropped", SealedOutcome::Damaged, 0,
        [&](Bytes& c) { c.erase(c.begin() + chunk1, c.begin() + chunk2); });
    // The payload of another carrier sealed under the same key, behind this one's tail.
    const Bytes other = Seal(dir, image, test::PseudoRandomBytes(archive.size(), 4), key);
    add("other payload", SealedOutcome::Damaged, 0,
        [&](Bytes& c) { std::copy(other.begin(), other.begin() + tail, c.begin()); });
    // The image part is the picture's own bytes; it is not sealed.
    add("image byte", SealedOutcome::Ok, archive.size(), [](Bytes& c) { c[0] ^= 1; });

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Unsealed opened = Unseal(dir, c.carrier, "pw");
        EXPECT_EQ(opened.outcome, c.expected);
        EXPECT_EQ(opened.archive, Prefix(archive, c.delivered));
    }
}

// A carrier written straight with libsodium from the documented layout, with chosen chunk
// sizes and tags and a tail that matches: what a faulty writer, or anyone holding the
// password, could make.
Bytes Forge(const Bytes& image, const std::vector<std::pair<size_t, uint8_t>>& chunks,
            const SealedKey& key) {
    Bytes out = image, nonce(24), streamHeader(24);
    randombytes_buf(nonce.data(), nonce.size());
    crypto_secretstream_xchacha20poly1305_state state;
    crypto_secretstream_xchacha20poly1305_init_push(&state, streamHeader.data(), key.PayloadKey());
    out.insert(out.end(), streamHeader.begin(), streamHeader.end());
    for (const auto& [size, tag] : chunks) {
        const Bytes plain(size, 'x');
        Bytes cipher(size + 17);
        crypto_secretstream_xchacha20poly1305_push(&state, cipher.data(), nullptr, plain.data(),
                                                   size, nonce.data(), nonce.size(), tag);
        out.insert(out.end(), cipher.begin(), cipher.end());
    }
    uint8_t header[32] = {};
    StoreLittleEndian(header, key.FormatId());
    StoreLittleEndian<uint64_t>(header + 8, image.size());
    StoreLittleEndian<uint64_t>(header + 16, out.size() - image.size());
    Bytes tail(key.Salt().begin(), key.Salt().end());
    tail.insert(tail.end(), nonce.begin(), nonce.end());
    tail.resize(88);
    crypto_aead_xchacha20poly1305_ietf_encrypt(tail.data() + 40, nullptr, header, 32, tail.data(),
                                               40, nullptr, nonce.data(), key.HeaderKey());
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
}

// Ok only when the last chunk, and only it, is FINAL and shorter than a full chunk; nothing of
// a chunk with the wrong tag reaches the sink.
TEST_F(Sealed, ChunkTagsAndSizesFollowTheLayout) {
    const SealedKey key = NewKey("pw");
    constexpr uint8_t message = crypto_secretstream_xchacha20poly1305_TAG_MESSAGE;
    constexpr uint8_t final = crypto_secretstream_xchacha20poly1305_TAG_FINAL;
    struct Case {
        std::vector<std::pair<size_t, uint8_t>> chunks;
        SealedOutcome expected;
        size_t delivered;
    } cases[] = {
        {{{100, final}}, SealedOutcome::Ok, 100},
        {{{kChunk, message}, {0, final}}, SealedOutcome::Ok, kChunk},
        {{{100, message}}, SealedOutcome::Damaged, 0},
        {{{kChunk, message}, {0, message}}, SealedOutcome::Damaged, kChunk},
        {{{kChunk, final}, {100, final}}, SealedOutcome::Damaged, 0},
        {{{kChunk, message}}, SealedOutcome::Damaged, 0},
        {{{kChunk, message}, {kChunk, final}}, SealedOutcome::Damaged, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chunks.size());
        const Unsealed opened = Unseal(dir, Forge(image, c.chunks, key), "pw");
        EXPECT_EQ(opened.outcome, c.expected);
        EXPECT_EQ(opened.archive, Bytes(c.delivered, 'x'));
    }
}

TEST_F(Sealed, TwentyCarriersShareNoByteAfterTheImage) {
    const Bytes archive = test::PseudoRandomBytes(kChunk + 500, 11);
    std::vector<Bytes> carriers;
    for (int i = 0; i < 20; ++i)
        carriers.push_back(Seal(dir, image, archive, NewKey("same password")));
    for (size_t at = image.size(); at < carriers[0].size(); ++at) {
        bool varies = false;
        for (const Bytes& carrier : carriers)
            varies |= carrier.at(at) != carriers[0][at];
        ASSERT_TRUE(varies) << "byte " << at << " is the same in every carrier";
    }
}

TEST_F(Sealed, WrongPasswordsAndOtherFilesDoNotOpen) {
    const std::string longPassword(40, 'a');
    struct Case {
        std::string sealedWith, triedWith;
    } passwords[] = {{"pw", "pW"},
                     {"", " "},
                     {"x", ""},
                     {longPassword, longPassword + "b"},
                     {longPassword + "b", longPassword + "c"},
                     {"päss", "pass"}};
    for (const Case& c : passwords) {
        SCOPED_TRACE(c.sealedWith + " / " + c.triedWith);
        const Bytes carrier = Seal(dir, image, {1, 2, 3}, NewKey(c.sealedWith));
        EXPECT_EQ(Unseal(dir, carrier, c.sealedWith).outcome, SealedOutcome::Ok);
        EXPECT_EQ(Unseal(dir, carrier, c.triedWith).outcome, SealedOutcome::NotOpened);
    }
    for (const Bytes& file : {Bytes{}, image, test::PseudoRandomBytes(129, 5),
                              ReadFile(test::ReferenceFile("long-password.jpg"))}) {
        const Unsealed opened = Unseal(dir, file, "pw");
        EXPECT_EQ(opened.outcome, SealedOutcome::NotOpened);
        EXPECT_TRUE(opened.archive.empty());
    }
}

// A carrier would reach 2 GiB: refused before a byte is written (a sparse archive).
TEST_F(Sealed, TooLargeIsRefusedBeforeWriting) {
    const SealedKey key = NewKey("pw");
    WriteFile(dir / "out", image);
    const int big = ::open((dir / "big").c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_EQ(::ftruncate(big, kMaxSealedCarrierSize), 0);
    Fd out(dir / "out");
    EXPECT_EQ(SealPayload(big, out.fd, image.size(), key), SealedOutcome::TooLarge);
    EXPECT_EQ(ReadFile(dir / "out"), image);
    ::close(big);
}

TEST(SealedKeyReleased, FormatOneDerivesItsFixedKeysAndOpensCarriers) {
    EXPECT_EQ(KnownSealedFormats(), std::vector<uint32_t>{kSealedFormatV1});
    SealedKey key;
    EXPECT_EQ(DeriveSealedKey(Password("pw"), SealedSalt{}, kSealedFormatTest, key),
              SealedOutcome::NotOpened);
    // Expected keys from the reference argon2 tool (-id -t 3 -k 262144 -p 1) and the BLAKE2b
    // of Python's hashlib.
    const std::string password = "correct horse battery staple";
    SealedSalt salt;
    std::memcpy(salt.data(), "sixteen byte slt", salt.size());
    ASSERT_EQ(DeriveSealedKey(Password(password), salt, kSealedFormatV1, key), SealedOutcome::Ok);
    EXPECT_EQ(test::ToHex(key.HeaderKey(), 32),
              "0e3522a7bdc0395c67301d6003ed5ca400bd710ebeebd2cf0b025ab2338583a1");
    EXPECT_EQ(test::ToHex(key.PayloadKey(), 32),
              "14e0912745af1357c736f5c6f0c84851c022e067a6be32fc78c5bb4513cbccd0");
    TempDir dir;
    const Bytes carrier = Seal(dir, {'i', 'm', 'g'}, {4, 5, 6}, key);
    const Unsealed opened = Unseal(dir, carrier, password);
    EXPECT_EQ(opened.outcome, SealedOutcome::Ok);
    EXPECT_EQ(opened.header.formatId, kSealedFormatV1);
    EXPECT_EQ(opened.archive, (Bytes{4, 5, 6}));
}

// Argon2's 256 MiB cannot be had under a tight address-space limit: that is NoMemory, for a
// new key and for opening, never the "does not open" of a wrong password.
TEST(SealedKeyReleased, NoMemoryUnderAnAddressSpaceLimit) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than any tight limit allows";
#endif
    TempDir dir;
    WriteFile(dir / "noise", test::PseudoRandomBytes(400, 9));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // What the process maps now, and 64 MiB more.
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t limit = static_cast<rlim_t>(pages) * ::sysconf(_SC_PAGESIZE) + (64 << 20);
        const rlimit tight = {limit, limit};
        if (pages == 0 || ::setrlimit(RLIMIT_AS, &tight) != 0)
            ::_exit(99);
        SealedKey key;
        SealedHeader header;
        const auto created = NewSealedKey(Password("pw"), key);
        Fd noise(dir / "noise");
        const auto opened = OpenSealedTail(noise.fd, 400, Password("pw"), key, header);
        ::_exit(static_cast<int>(created) * 10 + static_cast<int>(opened));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    const int noMemory = static_cast<int>(SealedOutcome::NoMemory);
    EXPECT_EQ(WEXITSTATUS(status), noMemory * 10 + noMemory);
}

} // namespace
} // namespace lumora
