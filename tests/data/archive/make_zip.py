# SPDX-License-Identifier: GPL-2.0-or-later
"""Writes a zip archive whose entry names are taken exactly as given, also names that no
well-behaved writer would produce (absolute, with "..", with backslashes).

usage: make_zip.py OUT [--stored] [--claim-size N] NAME CONTENT [NAME CONTENT ...]

--stored         store entries instead of deflating them
--claim-size N   afterwards patch the first entry's uncompressed size to N in both its
                 local and central headers (a lying size, as in a decompression bomb)
CONTENT          text, or "@zeros:N" for N zero bytes
"""
import struct
import sys
import zipfile


def content_of(content_text):
    if content_text.startswith("@zeros:"):
        return bytes(int(content_text[7:]))
    return content_text.encode("utf-8")


def patch_size(path, size):
    data = bytearray(open(path, "rb").read())
    struct.pack_into("<I", data, 22, size)
    central = data.find(b"PK\x01\x02")
    struct.pack_into("<I", data, central + 24, size)
    open(path, "wb").write(bytes(data))


def main():
    args = sys.argv[1:]
    out = args.pop(0)
    method = zipfile.ZIP_DEFLATED
    claim = None
    while args and args[0].startswith("--"):
        option = args.pop(0)
        if option == "--stored":
            method = zipfile.ZIP_STORED
        elif option == "--claim-size":
            claim = int(args.pop(0))
    with zipfile.ZipFile(out, "w") as archive:
        for name, content_text in zip(args[0::2], args[1::2]):
            info = zipfile.ZipInfo(name, date_time=(2020, 5, 17, 10, 30, 0))
            info.compress_type = method
            archive.writestr(info, content_of(content_text))
    if claim is not None:
        patch_size(out, claim)


if __name__ == "__main__":
    main()
