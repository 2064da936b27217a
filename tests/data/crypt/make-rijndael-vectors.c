// SPDX-License-Identifier: GPL-2.0-or-later
// Writes known-answer vectors for Rijndael with 16-, 24- and 32-byte blocks and keys in
// ECB, CBC and full-block CFB mode, computed with libmcrypt ("rijndael-128/192/256",
// modes "ecb", "cbc" and "ncfb") as an implementation independent of Lumora's own.
// Not part of the build; regenerate the data file with:
//   cc -O2 -o /tmp/make-rijndael-vectors make-rijndael-vectors.c -lmcrypt
//   /tmp/make-rijndael-vectors > rijndael-vectors.txt
// Each line: blockSize keyLength mode key iv plaintext ciphertext (hex, mode 0 ECB,
// 1 CBC, 2 CFB).
#include <mcrypt.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void PrintHex(const unsigned char* bytes, int n) {
    putchar(' ');
    for (int i = 0; i < n; ++i)
        printf("%02x", bytes[i]);
}

static void Vector(int blockSize, int keyLength, int mode, const unsigned char* key,
                   const unsigned char* iv, const unsigned char* plain, int length) {
    static const char* const modeNames[] = {"ecb", "cbc", "ncfb"};
    char algorithm[32];
    snprintf(algorithm, sizeof algorithm, "rijndael-%d", blockSize * 8);
    MCRYPT td = mcrypt_module_open(algorithm, NULL, (char*)modeNames[mode], NULL);
    if (td == MCRYPT_FAILED || mcrypt_enc_get_block_size(td) != blockSize) {
        fprintf(stderr, "cannot open %s in mode %s\n", algorithm, modeNames[mode]);
        exit(1);
    }
    unsigned char ivCopy[32];
    memcpy(ivCopy, iv, (size_t)blockSize);
    if (mcrypt_generic_init(td, (void*)key, keyLength, ivCopy) < 0) {
        fprintf(stderr, "cannot key %s with %d bytes\n", algorithm, keyLength);
        exit(1);
    }
    unsigned char cipher[96];
    memcpy(cipher, plain, (size_t)length);
    mcrypt_generic(td, cipher, length);
    mcrypt_generic_deinit(td);
    mcrypt_module_close(td);

    printf("%d %d %d", blockSize, keyLength, mode);
    PrintHex(key, keyLength);
    PrintHex(iv, blockSize);
    PrintHex(plain, length);
    PrintHex(cipher, length);
    putchar('\n');
}

int main(void) {
    unsigned char zeros[96] = {0};
    unsigned char key[32];
    unsigned char iv[32];
    unsigned char plain[96];
    for (int i = 0; i < 32; ++i) {
        key[i] = (unsigned char)(i * 13 + 5);
        iv[i] = (unsigned char)(0xA0 + i * 3);
    }
    for (int i = 0; i < 96; ++i)
        plain[i] = (unsigned char)(i * 7 + 1);

    for (int blockSize = 16; blockSize <= 32; blockSize += 8) {
        for (int keyLength = 16; keyLength <= 32; keyLength += 8) {
            // Zero key and block, as in the known-answer tables of the Rijndael proposal.
            Vector(blockSize, keyLength, 0, zeros, zeros, zeros, blockSize);
            for (int mode = 0; mode < 3; ++mode)
                Vector(blockSize, keyLength, mode, key, iv, plain, 3 * blockSize);
        }
    }
    return 0;
}
