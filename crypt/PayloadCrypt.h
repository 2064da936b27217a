// SPDX-License-Identifier: GPL-2.0-or-later
// The four operations through which the carrier engine uses the cipher layer. Each keys
// a fresh CRijndael from the password (AES-256, ECB, zero padding), catches every
// exception inside and reports failure by its result; a null buffer or path fails at once.
#pragma once

#include "crypt/SecretBytes.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>

namespace lumora {

class CRijndael;

// Called after each chunk with the number of input bytes processed so far; returning
// false stops the operation, which then fails (the partial output file is removed).
using ChunkProgress = std::function<bool(uint64_t bytesDone)>;

// The 32-byte key of a password: its bytes up to the first NUL, at most 32 of them, then
// zero bytes up to 32. The rest of a longer password does not reach the cipher.
void MakePasswordKey(const Password& password, unsigned char key[32]);

// out = encryption of the len bytes of in, padded with zero bytes to a multiple of 16;
// the padding is written into in itself, so in must have room for it.
[[nodiscard]] bool EncryptCheckRecord(unsigned char* in, unsigned char* out,
                                      const Password& password, int len);
// out = decryption of the len bytes of in (len a multiple of 16).
[[nodiscard]] bool DecryptCheckRecord(const unsigned char* in, unsigned char* out,
                                      const Password& password, int len);

// Writes the encrypted payload file (32-byte signature, then the ciphertext) of inPath.
[[nodiscard]] bool EncryptPayloadFile(const char* inPath, const char* outPath,
                                      const Password& password, const ChunkProgress& progress = {});

// The size of the encrypted payload file of plainSize bytes: signature and padded ciphertext.
int64_t EncryptedPayloadSize(int64_t plainSize);

// Writes the encrypted payload file of inPath to out at its current position, the same
// bytes EncryptPayloadFile writes; progress hears the input bytes done.
[[nodiscard]] bool EncryptPayloadInto(const char* inPath, FILE* out, const Password& password,
                                      const ChunkProgress& progress = {});

enum class [[nodiscard]] DecryptResult{
    Ok,
    WrongKey,  // the signature is not the password key's: another password, or damage to it
    Failed,    // the file could not be read or written, or is no whole number of blocks
    Cancelled, // progress asked to stop
};
// Deciphers the encrypted payload file of length bytes at offset of the file open as fd
// (read by position, so the descriptor's offset stays) into outPath, as DecryptPayloadFile.
DecryptResult DecryptPayloadRange(int fd, int64_t offset, int64_t length, const char* outPath,
                                  const Password& password, const ChunkProgress& progress = {});

// The deciphered bytes of an encrypted payload file, read by position from the file that
// holds it and deciphered as they are read, so they are never written anywhere. Reads
// from several threads at once are safe.
class PayloadReader {
public:
    // Checks the signature of the encrypted payload file of length bytes at offset of fd,
    // which is read through a duplicate of fd (the caller's may be closed). Ok with reader
    // set; otherwise WrongKey or Failed as DecryptPayloadRange tells them.
    static DecryptResult Open(int fd, int64_t offset, int64_t length, const Password& password,
                              std::unique_ptr<PayloadReader>& reader);
    ~PayloadReader();
    PayloadReader(const PayloadReader&) = delete;
    PayloadReader& operator=(const PayloadReader&) = delete;

    // The deciphered length: the ciphertext's, padding included.
    uint64_t Size() const { return m_size; }
    // Deciphers the length bytes at offset into out; false when they lie past Size or
    // cannot be read.
    [[nodiscard]] bool ReadAt(uint64_t offset, uint8_t* out, size_t length) const;

private:
    PayloadReader(int fd, uint64_t start, uint64_t size, std::unique_ptr<CRijndael> cipher);
    // Deciphers the bytes from `from` to `to`, which lie within two blocks, into out.
    [[nodiscard]] bool ReadWithinBlocks(uint64_t from, uint64_t to, uint8_t* out) const;

    int m_fd;
    uint64_t m_start; // the ciphertext's offset in the file
    uint64_t m_size;
    std::unique_ptr<CRijndael> m_cipher;
};

// Checks the signature and deciphers an encrypted payload file into outPath.
DecryptResult DecryptPayloadFile(const char* inPath, const char* outPath, const Password& password,
                                 const ChunkProgress& progress = {});

} // namespace lumora
