// SPDX-License-Identifier: GPL-2.0-or-later
// The four operations through which the carrier engine uses the cipher layer. Each keys
// a fresh CRijndael from the password (AES-256, ECB, zero padding), catches every
// exception inside and returns false on any failure; a null argument returns false at once.
#pragma once

#include <cstdint>
#include <functional>

namespace lumora {

// Called after each chunk with the number of input bytes processed so far; returning
// false stops the operation, which then fails (the partial output file is removed).
using ChunkProgress = std::function<bool(uint64_t bytesDone)>;

// The 32-byte key of a password: its bytes up to the terminating NUL, at most 32 of
// them, then zero bytes up to 32.
void MakePasswordKey(const char* password, unsigned char key[32]);

// out = encryption of the len bytes of in, padded with zero bytes to a multiple of 16;
// the padding is written into in itself, so in must have room for it.
bool EncryptCheckRecord(unsigned char* in, unsigned char* out, const char* password, int len);
// out = decryption of the len bytes of in (len a multiple of 16).
bool DecryptCheckRecord(const unsigned char* in, unsigned char* out, const char* password, int len);

// Writes the encrypted payload file (32-byte signature, then the ciphertext) of inPath.
bool EncryptPayloadFile(const char* inPath, const char* outPath, const char* password,
                        const ChunkProgress& progress = {});
// Checks the signature and deciphers an encrypted payload file into outPath.
bool DecryptPayloadFile(const char* inPath, const char* outPath, const char* password,
                        const ChunkProgress& progress = {});

} // namespace lumora
