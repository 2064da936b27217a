// SPDX-License-Identifier: GPL-2.0-or-later
// AES instructions of x86 processors for 16-byte blocks. The round keys are the table
// path's own rows (encryption keys, and the equivalent inverse cipher's decryption keys),
// so both paths give the same bytes. Used only when the processor has the instructions
// and the hardware path has not been switched off.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumora::rijndael {

// True when 16-byte blocks go through the AES instructions: the processor has them, the
// environment variable LUMORA_AES is not "table", and UseHardwareAes(false) was not called.
bool HardwareAesActive();

// Switches the hardware path on or off for the whole program (tests and benchmarks use
// this to run both paths). Switching on has no effect on a processor without it.
void UseHardwareAes(bool enabled);

// Ciphers count 16-byte blocks with Nr = rounds, round key r in keys[r][0..3].
void HardwareEncryptBlocks(const uint32_t (*keys)[8], int rounds, const unsigned char* in,
                           unsigned char* out, size_t count);
void HardwareDecryptBlocks(const uint32_t (*keys)[8], int rounds, const unsigned char* in,
                           unsigned char* out, size_t count);

} // namespace lumora::rijndael
