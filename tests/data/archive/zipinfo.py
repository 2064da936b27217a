# SPDX-License-Identifier: GPL-2.0-or-later
"""Describes each entry of a zip archive as read by Python's zipfile, one tab-separated
line per entry:

name, flag bits, method, DOS date and time fields, internal and external attributes,
central and local extra field lengths, comment length, SHA-256 of the data, and whether
the compressed size equals Lumora's raw deflate stream at level 9 (window bits -15,
memory level 8, default strategy) plus the 12-byte encryption header when encrypted.
Lumora deflates an entry in blocks of 128 KiB of input, each primed with the 32 KiB
before it and ended with a sync flush, the last one with the stream's end. A block of
16 KiB or more whose every 16 KiB piece (the last taking the rest) has at least 7.98 bits
of entropy a byte, and in which at most one position in 1024 starts four bytes seen
before in the dictionary or the block, is stored instead: five bytes of header for each
65,535 bytes or part.

usage: zipinfo.py ARCHIVE [PASSWORD]
"""
import hashlib
import math
import struct
import sys
import zipfile
import zlib


BLOCK = 128 * 1024
DICTIONARY = 32 * 1024


PIECE = 16 * 1024


def entropy(piece):
    counts = [0] * 256
    for byte in piece:
        counts[byte] += 1
    n = len(piece)
    return -sum(c / n * math.log2(c / n) for c in counts if c)


def stored(primed, block):
    pieces = len(block) // PIECE
    if pieces == 0:
        return False
    for p in range(pieces):
        end = len(block) if p + 1 == pieces else (p + 1) * PIECE
        if entropy(block[p * PIECE:end]) < 7.98:
            return False
    joined = primed + block
    seen = set()
    repeats = 0
    for i in range(len(joined) - 3):
        group = joined[i:i + 4]
        if i + 3 >= len(primed) and group in seen:
            repeats += 1
        seen.add(group)
    return repeats <= len(block) // 1024


def block_size(primed, block, last):
    if stored(primed, block):
        return len(block) + 5 * ((len(block) + 0xfffe) // 0xffff)
    c = (zlib.compressobj(9, zlib.DEFLATED, -15, 8, zlib.Z_DEFAULT_STRATEGY, primed)
         if primed else zlib.compressobj(9, zlib.DEFLATED, -15, 8, zlib.Z_DEFAULT_STRATEGY))
    return len(c.compress(block) + c.flush(zlib.Z_FINISH if last else zlib.Z_SYNC_FLUSH))


def expected_deflate_size(data, encrypted):
    size = 0
    offset = 0
    while True:
        block = data[offset:offset + BLOCK]
        last = offset + BLOCK >= len(data)
        size += block_size(data[max(0, offset - DICTIONARY):offset], block, last)
        if last:
            return size + (12 if encrypted else 0)
        offset += BLOCK


def main():
    path = sys.argv[1]
    pwd = sys.argv[2].encode("utf-8") if len(sys.argv) > 2 else None
    with open(path, "rb") as raw, zipfile.ZipFile(path) as archive:
        for info in archive.infolist():
            raw.seek(info.header_offset + 28)
            (local_extra,) = struct.unpack("<H", raw.read(2))
            data = archive.read(info, pwd=pwd)
            deflate_matches = info.compress_size == expected_deflate_size(
                data, info.flag_bits & 1)
            fields = [
                info.filename,
                str(info.flag_bits),
                str(info.compress_type),
                "-".join(str(v) for v in info.date_time),
                str(info.internal_attr),
                str(info.external_attr),
                str(len(info.extra)),
                str(local_extra),
                str(len(info.comment)),
                hashlib.sha256(data).hexdigest(),
                "deflate-level-9" if deflate_matches else "other-stream",
            ]
            sys.stdout.buffer.write(("\t".join(fields) + "\n").encode("utf-8"))


if __name__ == "__main__":
    main()
