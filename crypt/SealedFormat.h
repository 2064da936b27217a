// SPDX-License-Identifier: GPL-2.0-or-later
// Sealed carriers: the image bytes, then the payload (a secretstream of the plain payload
// archive in 64 KiB chunks, the last one tagged FINAL), then a fixed-size tail (salt, nonce
// and an AEAD-sealed header with the lengths). Without the password nothing after the image
// can be told from random bytes. docs/FORMAT.md describes every byte.
//
// All functions work on file descriptors with explicit offsets, keep at most two chunk
// buffers in memory and return a SealedOutcome (NoMemory when even those cannot be had);
// they throw nothing of their own.
#pragma once

#include "crypt/PayloadCrypt.h"
#include "crypt/SealedKey.h"

#include <array>
#include <cstdint>
#include <functional>

namespace lumora {

constexpr size_t kSealedChunkSize = 64 * 1024;
constexpr size_t kSealedNonceSize = 24;
constexpr size_t kSealedTailSize = 88;
// Carriers stay below 2 GiB, as classic ones do.
constexpr int64_t kMaxSealedCarrierSize = 0x7FFFFFFF;

struct SealedHeader {
    uint32_t formatId = 0;
    uint32_t flags = 0; // no flag is defined yet; written as 0
    uint64_t imageLength = 0;
    uint64_t payloadLength = 0;
    std::array<uint8_t, kSealedNonceSize> nonce{}; // the tail's nonce, bound into every chunk

    // Length of the payload archive the payload holds.
    uint64_t ArchiveLength() const;
};

// Size of a sealed carrier with these image and archive lengths.
int64_t SealedCarrierSize(int64_t imageLength, int64_t archiveLength);

// Returns true to stop an operation (it then ends with Cancelled).
using CancelCheck = std::function<bool()>;
// Takes the next authenticated bytes of the archive; false stops the unsealing (WriteFailed).
using ArchiveSink = std::function<bool(const uint8_t* data, size_t size)>;

// Reads the tail at the end of a file of fileSize bytes and derives a key with every known
// format, newest first, until one opens it. Ok fills key and header; NotOpened when none
// does (also at once for files too small to hold sealed data); NoMemory when a derivation
// could not allocate; Damaged when the header opened but its lengths do not fit the file.
// cancelled is asked before and after each derivation, which itself cannot be interrupted.
SealedOutcome OpenSealedTail(int fd, int64_t fileSize, const Password& password, SealedKey& key,
                             SealedHeader& header, const CancelCheck& cancelled = {});

// The same with a key already derived, for the read-back of a save: NotOpened when the tail
// is not sealed under this key.
SealedOutcome ReadSealedTail(int fd, int64_t fileSize, const SealedKey& key, SealedHeader& header);

// Authenticates and decrypts the payload chunk by chunk, handing each chunk's archive bytes
// to sink only after the chunk authenticated. Ok only once the FINAL chunk authenticated at
// the payload's very end: until then, what the sink wrote is not yet known to be the whole
// archive, so callers extract into a working folder and move results out only on Ok.
// progress hears the archive bytes delivered so far and cancels by returning false.
SealedOutcome UnsealPayload(int fd, const SealedHeader& header, const SealedKey& key,
                            const ArchiveSink& sink, const ChunkProgress& progress = {});

// Seals the archive read from archiveFd (from its current position to its end) behind the
// imageLength image bytes of outFd: writes the payload and the tail at offset imageLength,
// which must be outFd's size. A fresh nonce and stream header are drawn for every call, so a
// key may be reused; each new carrier should still get a NewSealedKey (fresh salt), or its
// salt bytes repeat. TooLarge, before anything is written when archiveFd is a regular file,
// when the carrier would exceed kMaxSealedCarrierSize. progress hears the archive bytes
// sealed so far and cancels by returning false. On failure the caller removes outFd's file.
SealedOutcome SealPayload(int archiveFd, int outFd, int64_t imageLength, const SealedKey& key,
                          const ChunkProgress& progress = {});

} // namespace lumora
