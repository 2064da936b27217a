// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/ZipBytes.h"

#include "archive/PkwareCipher.h"

#include <algorithm>

#include <stdexcept>

namespace lumora::test {
namespace {

constexpr size_t kEndRecordSize = 22;

void Require(bool condition) {
    if (!condition)
        throw std::runtime_error("not a small plain zip archive");
}

void Append16(Bytes& bytes, uint32_t value) {
    bytes.push_back(static_cast<uint8_t>(value));
    bytes.push_back(static_cast<uint8_t>(value >> 8));
}

void Append32(Bytes& bytes, uint32_t value) {
    Append16(bytes, value & 0xFFFF);
    Append16(bytes, value >> 16);
}

void Append64(Bytes& bytes, uint64_t value) {
    Append32(bytes, static_cast<uint32_t>(value));
    Append32(bytes, static_cast<uint32_t>(value >> 32));
}

size_t EndRecord(const Bytes& zip) {
    Require(zip.size() >= kEndRecordSize);
    size_t end = zip.size() - kEndRecordSize;
    Require(Get32(zip, end) == 0x06054b50);
    return end;
}

} // namespace

uint32_t Get16(const Bytes& bytes, size_t at) {
    Require(at + 2 <= bytes.size());
    return bytes[at] | (bytes[at + 1] << 8);
}

uint32_t Get32(const Bytes& bytes, size_t at) {
    return Get16(bytes, at) | (Get16(bytes, at + 2) << 16);
}

void Put16(Bytes& bytes, size_t at, uint32_t value) {
    Require(at + 2 <= bytes.size());
    bytes[at] = static_cast<uint8_t>(value);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

void Put32(Bytes& bytes, size_t at, uint32_t value) {
    Put16(bytes, at, value & 0xFFFF);
    Put16(bytes, at + 2, value >> 16);
}

std::vector<RawEntry> RawEntries(const Bytes& zip) {
    size_t end = EndRecord(zip);
    size_t at = Get32(zip, end + 16);
    std::vector<RawEntry> entries;
    for (uint32_t k = 0; k < Get16(zip, end + 10); ++k) {
        Require(Get32(zip, at) == 0x02014b50);
        RawEntry entry;
        entry.central = at;
        entry.centralSize = 46 + Get16(zip, at + 28) + Get16(zip, at + 30) + Get16(zip, at + 32);
        entry.compressedSize = Get32(zip, at + 20);
        entry.local = Get32(zip, at + 42);
        Require(Get32(zip, entry.local) == 0x04034b50);
        entry.data = entry.local + 30 + Get16(zip, entry.local + 26) + Get16(zip, entry.local + 28);
        entries.push_back(entry);
        at += entry.centralSize;
    }
    return entries;
}

Bytes StoredData(const Bytes& zip, const RawEntry& entry) {
    Require(entry.data + entry.compressedSize <= zip.size());
    return Bytes(zip.begin() + static_cast<long>(entry.data),
                 zip.begin() + static_cast<long>(entry.data + entry.compressedSize));
}

void PatchBoth32(Bytes& zip, const RawEntry& entry, size_t localOffset, uint32_t value) {
    Put32(zip, entry.local + localOffset, value);
    Put32(zip, entry.central + localOffset + 2, value);
}

void PatchBoth16(Bytes& zip, const RawEntry& entry, size_t localOffset, uint32_t value) {
    Put16(zip, entry.local + localOffset, value);
    Put16(zip, entry.central + localOffset + 2, value);
}

Bytes WithDirectory(const Bytes& zip, const Bytes& records, uint32_t count) {
    size_t directory = Get32(zip, EndRecord(zip) + 16);
    Bytes out(zip.begin(), zip.begin() + static_cast<long>(directory));
    out.insert(out.end(), records.begin(), records.end());
    Append32(out, 0x06054b50);
    Append32(out, 0); // this disk, the directory's disk
    Append16(out, count);
    Append16(out, count);
    Append32(out, static_cast<uint32_t>(records.size()));
    Append32(out, static_cast<uint32_t>(directory));
    Append16(out, 0); // comment length
    return out;
}

Bytes WithZip64Count(const Bytes& zip, uint64_t count) {
    size_t end = EndRecord(zip);
    uint32_t directorySize = Get32(zip, end + 12);
    uint32_t directory = Get32(zip, end + 16);
    Bytes out(zip.begin(), zip.begin() + static_cast<long>(end));
    size_t zip64End = out.size();
    Append32(out, 0x06064b50);
    Append64(out, 44); // size of the rest of this record
    Append16(out, 45);
    Append16(out, 45);
    Append32(out, 0);
    Append32(out, 0);
    Append64(out, count);
    Append64(out, count);
    Append64(out, directorySize);
    Append64(out, directory);
    Append32(out, 0x07064b50); // locator
    Append32(out, 0);
    Append64(out, zip64End);
    Append32(out, 1);
    Append32(out, 0x06054b50);
    Append32(out, 0);
    Append16(out, 0xFFFF);
    Append16(out, 0xFFFF);
    Append32(out, 0xFFFFFFFF);
    Append32(out, 0xFFFFFFFF);
    Append16(out, 0);
    return out;
}

std::string PasswordPassing(const Bytes& zip, const std::vector<bool>& passes) {
    auto raw = RawEntries(zip);
    for (int i = 0; i < 1000000 && raw.size() == passes.size(); ++i) {
        std::string candidate = "wrong" + std::to_string(i);
        bool fits = true;
        for (size_t k = 0; fits && k < raw.size(); ++k) {
            Bytes stored = StoredData(zip, raw[k]);
            uint8_t header[PkwareCipher::kHeaderSize];
            std::copy_n(stored.begin(), sizeof header, header);
            uint8_t check = PkwareCipher(Password(candidate)).ReadHeader(header);
            uint32_t crc = Get32(zip, raw[k].central + 16);
            uint32_t time = Get16(zip, raw[k].central + 12);
            fits = (check == (crc >> 24) || check == (time >> 8)) == passes[k];
        }
        if (fits)
            return candidate;
    }
    return "";
}

} // namespace lumora::test
