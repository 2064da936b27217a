// SPDX-License-Identifier: GPL-2.0-or-later
// The four operations through which the carrier engine uses the cipher layer. Each keys
// a fresh CRijndael from the password (AES-256, ECB, zero padding), catches every
// exception inside and reports failure by its result; a null buffer or path fails at once.
#pragma once

#include "crypt/SecretBytes.h"

#include <cstdint>
#include <cstdio>
#include <functional>

namespace lumora {

// Called after each chunk with the number of input bytes processed so far; returning
// false stops the operation, which then fails (the partial output file is removed).
using ChunkProgress = std::function<bool(uint64_t bytesDone)>;

// The 32-byte key of a password: its bytes up to the first NUL, at most 32 of them, then
// zero bytes up to 32. The rest of a longer password does not reach the cipher.
void MakePasswordKey(const Password& password, unsigned char key[32]);

// out = encryption of the len bytes of in, padded with zero bytes to a multiple of 16;
// the padding is written into in itself, so in must have room for it.
bool EncryptCheckRecord(unsigned char* in, unsigned char* out, const Password& password, int len);
// out = decryption of the len bytes of in (len a multiple of 16).
bool DecryptCheckRecord(const unsigned char* in, unsigned char* out, const Password& password,
                        int len);

// Writes the encrypted payload file (32-byte signature, then the ciphertext) of inPath.
bool EncryptPayloadFile(const char* inPath, const char* outPath, const Password& password,
                        const ChunkProgress& progress = {});

// The size of the encrypted payload file of plainSize bytes: signature and padded ciphertext.
int64_t EncryptedPayloadSize(int64_t plainSize);

// Writes the encrypted payload file of inPath to out at its current position, the same
// bytes EncryptPayloadFile writes; progress hears the input bytes done.
bool EncryptPayloadInto(const char* inPath, FILE* out, const Password& password,
                        const ChunkProgress& progress = {});

enum class DecryptResult {
    Ok,
    WrongKey,  // the signature is not the password key's: another password, or damage to it
    Failed,    // the file could not be read or written, or is no whole number of blocks
    Cancelled, // progress asked to stop
};
// Deciphers the encrypted payload file of length bytes at offset of the file open as fd
// (read by position, so the descriptor's offset stays) into outPath, as DecryptPayloadFile.
DecryptResult DecryptPayloadRange(int fd, int64_t offset, int64_t length, const char* outPath,
                                  const Password& password, const ChunkProgress& progress = {});
// Checks the signature and deciphers an encrypted payload file into outPath.
DecryptResult DecryptPayloadFile(const char* inPath, const char* outPath, const Password& password,
                                 const ChunkProgress& progress = {});

} // namespace lumora
