// SPDX-License-Identifier: GPL-2.0-or-later
// The FileCrypt encrypted file: the 32-byte signature of the cipher object, then the
// whole input enciphered in 384-byte chunks, the last one padded to a whole block.
#include "crypt/DoubleBuffering.h"
#include "crypt/Rijndael.h"
#include "crypt/SHA.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>

namespace lumora {

namespace {

constexpr int kBufferSize = 1024;
constexpr int kChunkSize = 384; // a whole number of blocks of every block size
// Buffering beneath the chunks, so that the file is not read or written 384 bytes per
// system call.
constexpr size_t kStreamBufferSize = 64 * 1024;

void RequireDistinctFiles(const std::string& inPath, const std::string& outPath) {
    std::error_code ec;
    // Two spellings of one file (a "./" prefix, a link) would truncate the input.
    if (inPath == outPath || std::filesystem::equivalent(inPath, outPath, ec))
        throw std::runtime_error("The same File for Input and Output " + inPath + "!");
}

// The input and output streams of one call, with large buffers of their own.
class FileCryptStreams {
public:
    FileCryptStreams(const std::string& inPath, const std::string& outPath)
        : m_inPath(inPath), m_outPath(outPath), m_inBuffer(new char[kStreamBufferSize]),
          m_outBuffer(new char[kStreamBufferSize]) {
        m_in.rdbuf()->pubsetbuf(m_inBuffer.get(), kStreamBufferSize);
        m_in.open(inPath, std::ios::binary);
        if (!m_in.is_open())
            throw std::runtime_error("Cannot open File " + inPath + "!");
        m_out.rdbuf()->pubsetbuf(m_outBuffer.get(), kStreamBufferSize);
        m_out.open(outPath, std::ios::binary | std::ios::trunc);
        if (!m_out.is_open())
            throw std::runtime_error("Cannot open File " + outPath + "!");
    }

    std::istream& In() { return m_in; }

    void Write(const unsigned char* data, int n) {
        m_out.write(reinterpret_cast<const char*>(data), n);
        if (!m_out)
            throw std::runtime_error("Cannot write File " + m_outPath + "!");
    }

    // Closes both files, raising when reading or writing failed on the way.
    void Finish() {
        if (m_in.bad())
            throw std::runtime_error("Cannot read File " + m_inPath + "!");
        m_in.close();
        m_out.close();
        if (m_out.fail())
            throw std::runtime_error("Cannot write File " + m_outPath + "!");
    }

    // Closes both files and removes the output when it is a regular file.
    void Discard() {
        m_in.close();
        m_out.close();
        std::error_code ec;
        if (std::filesystem::is_regular_file(m_outPath, ec))
            std::filesystem::remove(m_outPath, ec);
    }

private:
    std::string m_inPath;
    std::string m_outPath;
    std::unique_ptr<char[]> m_inBuffer;
    std::unique_ptr<char[]> m_outBuffer;
    std::ifstream m_in;
    std::ofstream m_out;
};

} // namespace

void CRijndael::ComputeSignature(unsigned char* out) {
    char text[48] = "RIJNDAEL";
    std::memcpy(text + 8, m_acKey, static_cast<size_t>(m_iKeyLength));
    std::snprintf(text + 8 + m_iKeyLength, sizeof text - 8 - static_cast<size_t>(m_iKeyLength),
                  "%d%d%d%d", m_iBlockSize, m_iKeyLength, m_iMode, m_iPadding);
    // The text ends at its first zero byte: a key with zero bytes cuts it there.
    CSHA sha;
    sha.AddData(reinterpret_cast<const unsigned char*>(text),
                static_cast<int>(strnlen(text, sizeof text)));
    sha.FinalDigest(out);
}

void CRijndael::EncryptFile(const std::string& inPath, const std::string& outPath) {
    RequireInitialized();
    RequireDistinctFiles(inPath, outPath);
    FileCryptStreams files(inPath, outPath);

    unsigned char signature[kSignatureSize];
    ComputeSignature(signature);
    files.Write(signature, kSignatureSize);
    RestoreChain();

    unsigned char buffer[kBufferSize];
    unsigned char chunk[kChunkSize];
    unsigned char outChunk[kChunkSize];
    CDoubleBuffering reader(files.In(), buffer, kBufferSize, kChunkSize);
    uint64_t done = 0;
    for (int n = reader.GetData(chunk, -1); n > 0; n = reader.GetData(chunk, -1)) {
        done += static_cast<uint64_t>(n);
        const size_t padded = PadBuffer(chunk, static_cast<size_t>(n));
        Encrypt(chunk, outChunk, padded);
        files.Write(outChunk, static_cast<int>(padded));
        if (m_progress && !m_progress(done)) {
            files.Discard();
            throw std::runtime_error("Operation Cancelled!");
        }
    }
    files.Finish();
}

void CRijndael::DecryptFile(const std::string& inPath, const std::string& outPath) {
    RequireInitialized();
    RequireDistinctFiles(inPath, outPath);
    FileCryptStreams files(inPath, outPath);

    unsigned char expected[kSignatureSize];
    unsigned char stored[kSignatureSize] = {};
    ComputeSignature(expected);
    files.In().read(reinterpret_cast<char*>(stored), kSignatureSize);
    if (files.In().gcount() != kSignatureSize || std::memcmp(stored, expected, kSignatureSize) != 0)
        throw SignatureMismatch("File " + inPath + " cannot be Correctly Decrypted!");
    RestoreChain();

    unsigned char buffer[kBufferSize];
    unsigned char chunk[kChunkSize];
    unsigned char outChunk[kChunkSize];
    CDoubleBuffering reader(files.In(), buffer, kBufferSize, kChunkSize);
    uint64_t done = kSignatureSize;
    for (int n = reader.GetData(chunk, -1); n > 0; n = reader.GetData(chunk, -1)) {
        done += static_cast<uint64_t>(n);
        Decrypt(chunk, outChunk, static_cast<size_t>(n));
        files.Write(outChunk, n);
        if (m_progress && !m_progress(done)) {
            files.Discard();
            throw std::runtime_error("Operation Cancelled!");
        }
    }
    files.Finish();
}

} // namespace lumora
