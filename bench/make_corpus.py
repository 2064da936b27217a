#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Writes the deterministic benchmark inputs: a corpus of text-like and random files,
a noise picture as a binary PPM (for cjpeg), or one large file of mixed content."""

import argparse
import os
import random

SEED = 20260101
WORDS_PER_LINE = 12


def make_vocabulary(rng, count=4000):
    letters = "etaoinshrdlcumwfgypbvkjxqz"
    weights = [len(letters) - i for i in range(len(letters))]
    words = set()
    while len(words) < count:
        length = rng.randint(2, 11)
        words.add("".join(rng.choices(letters, weights, k=length)))
    return sorted(words)


def text_bytes(rng, vocabulary, size):
    # Zipf-like word frequencies, as in prose.
    weights = [1.0 / (rank + 1) for rank in range(len(vocabulary))]
    parts = []
    total = 0
    while total < size:
        words = rng.choices(vocabulary, weights, k=WORDS_PER_LINE * 4096)
        lines = [" ".join(words[i:i + WORDS_PER_LINE]) + "\n"
                 for i in range(0, len(words), WORDS_PER_LINE)]
        block = "".join(lines).encode()
        parts.append(block)
        total += len(block)
    return b"".join(parts)[:size]


def write_corpus(folder, files, total):
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(SEED)
    vocabulary = make_vocabulary(rng)
    size = total // files
    for index in range(files):
        if index % 2 == 0:
            name, data = f"text{index:02d}.txt", text_bytes(rng, vocabulary, size)
        else:
            name, data = f"random{index:02d}.bin", rng.randbytes(size)
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)


def write_large(path, total):
    # Alternating text-like and random stretches of 8 MiB. Deflate sees 32 KiB back, so
    # a few text stretches used in turn compress like fresh text and keep this quick.
    rng = random.Random(SEED + 1)
    vocabulary = make_vocabulary(rng)
    piece = 8 * 1024 * 1024
    texts = [text_bytes(rng, vocabulary, piece) for _ in range(4)]
    with open(path, "wb") as out:
        written = 0
        index = 0
        while written < total:
            n = min(piece, total - written)
            out.write(texts[(index // 2) % len(texts)][:n] if index % 2 == 0
                      else rng.randbytes(n))
            written += n
            index += 1


def write_picture(path, width, height):
    # Smooth colour gradients with noise on top: compresses to a photo-like JPEG.
    rng = random.Random(SEED + 2)
    noise = rng.randbytes(width * height * 3)
    rows = []
    for y in range(height):
        row = bytearray(width * 3)
        base = y * width * 3
        for x in range(width):
            i = 3 * x
            row[i] = ((x * 255) // width + noise[base + i] // 2) & 0xFF
            row[i + 1] = ((y * 255) // height + noise[base + i + 1] // 2) & 0xFF
            row[i + 2] = (((x + y) * 127) // (width + height) + noise[base + i + 2] // 2) & 0xFF
        rows.append(bytes(row))
    with open(path, "wb") as out:
        out.write(f"P6\n{width} {height}\n255\n".encode())
        out.write(b"".join(rows))


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--corpus", metavar="FOLDER")
    parser.add_argument("--files", type=int, default=20)
    parser.add_argument("--total", type=int, default=100 * 1000 * 1000)
    parser.add_argument("--large", metavar="FILE")
    parser.add_argument("--large-size", type=int, default=1024 * 1024 * 1024)
    parser.add_argument("--picture", metavar="PPM")
    args = parser.parse_args()
    if args.corpus:
        write_corpus(args.corpus, args.files, args.total)
    if args.large:
        write_large(args.large, args.large_size)
    if args.picture:
        write_picture(args.picture, 1400, 1000)


if __name__ == "__main__":
    main()
