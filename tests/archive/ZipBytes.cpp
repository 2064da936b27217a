// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/ZipBytes.h"

#include "archive/PkwareCipher.h"
#include "platform/ByteOrder.h"
#include "support/ByteWriter.h"

#include <stdexcept>
#include <utility>

namespace lumora::test {

uint32_t Get(const Bytes& bytes, size_t at, int width) {
    if (at + static_cast<size_t>(width) > bytes.size())
        throw std::out_of_range("past the end of the archive");
    const uint8_t* field = &bytes[at];
    return width == 1 ? *field : width == 2 ? LoadLe16(field) : LoadLe32(field);
}

void Put(Bytes& bytes, size_t at, uint32_t value, int width) {
    if (at + static_cast<size_t>(width) > bytes.size())
        throw std::out_of_range("past the end of the archive");
    if (width == 2)
        StoreLittleEndian(&bytes[at], static_cast<uint16_t>(value));
    else
        StoreLittleEndian(&bytes[at], value);
}

std::vector<RawEntry> RawEntries(const Bytes& zip) {
    size_t end = zip.size() - 22;
    size_t at = Get(zip, end + 16, 4);
    std::vector<RawEntry> entries;
    for (uint32_t k = 0; k < Get(zip, end + 10, 2); ++k) {
        RawEntry entry;
        entry.central = at;
        entry.centralSize = 46 + Get(zip, at + 28, 2) + Get(zip, at + 30, 2) + Get(zip, at + 32, 2);
        entry.local = Get(zip, at + 42, 4);
        entry.data =
            entry.local + 30 + Get(zip, entry.local + 26, 2) + Get(zip, entry.local + 28, 2);
        entries.push_back(entry);
        at += entry.centralSize;
    }
    return entries;
}

void PatchBoth(Bytes& zip, const RawEntry& entry, size_t localOffset, uint32_t value, int width) {
    Put(zip, entry.local + localOffset, value, width);
    Put(zip, entry.central + localOffset + 2, value, width);
}

Bytes WithDirectory(const Bytes& zip, const Bytes& records, uint64_t count, bool zip64) {
    size_t directory = Get(zip, zip.size() - 22 + 16, 4);
    ByteWriter out{Bytes(zip.begin(), zip.begin() + static_cast<long>(directory))};
    out.bytes.insert(out.bytes.end(), records.begin(), records.end());
    uint64_t size = records.size();
    if (zip64) {
        const uint64_t end64 = out.bytes.size();
        out.Le32(0x06064b50).Le64(44).Le16(45).Le16(45).Le32(0).Le32(0).Le64(count).Le64(count);
        out.Le64(size).Le64(directory).Le32(0x07064b50).Le32(0).Le64(end64).Le32(1);
        count = 0xFFFF;
        size = directory = 0xFFFFFFFF;
    }
    // The plain end record keeps the low bits of each value.
    out.Le32(0x06054b50).Le32(0).Le16(count).Le16(count).Le32(size).Le32(directory).Le16(0);
    return std::move(out.bytes);
}

std::string PasswordPassing(const Bytes& zip, const std::vector<bool>& passes) {
    auto raw = RawEntries(zip);
    for (int i = 0; i < 1000000 && raw.size() == passes.size(); ++i) {
        std::string candidate = "wrong" + std::to_string(i);
        bool fits = true;
        for (size_t k = 0; fits && k < raw.size(); ++k) {
            uint8_t header[PkwareCipher::kHeaderSize];
            for (size_t n = 0; n < sizeof header; ++n)
                header[n] = zip.at(raw[k].data + n);
            uint8_t check = PkwareCipher(Password(candidate)).ReadHeader(header);
            bool crc = check == Get(zip, raw[k].central + 19, 1);
            bool descriptor = (Get(zip, raw[k].central + 8, 2) & 8) != 0;
            bool time = descriptor && check == Get(zip, raw[k].central + 13, 1);
            fits = (crc || time) == passes[k];
        }
        if (fits)
            return candidate;
    }
    return "";
}

} // namespace lumora::test
