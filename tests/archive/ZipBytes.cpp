// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/ZipBytes.h"

#include "archive/PkwareCipher.h"

#include <stdexcept>
#include <utility>

namespace lumora::test {

uint32_t Get(const Bytes& bytes, size_t at, int width) {
    if (at + static_cast<size_t>(width) > bytes.size())
        throw std::out_of_range("past the end of the archive");
    uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = (value << 8) | bytes[at + static_cast<size_t>(i)];
    return value;
}

void Put(Bytes& bytes, size_t at, uint32_t value, int width) {
    for (int i = 0; i < width; ++i)
        bytes.at(at + static_cast<size_t>(i)) = static_cast<uint8_t>(value >> (8 * i));
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
    Bytes out(zip.begin(), zip.begin() + static_cast<long>(directory));
    out.insert(out.end(), records.begin(), records.end());
    auto add = [&](std::initializer_list<std::pair<uint64_t, int>> fields) {
        for (auto [value, width] : fields) {
            for (int i = 0; i < width; ++i)
                out.push_back(static_cast<uint8_t>(value >> (8 * i)));
        }
    };
    uint64_t size = records.size();
    if (zip64) {
        uint64_t end64 = out.size();
        add({{0x06064b50, 4}, {44, 8}, {45, 2}, {45, 2}, {0, 4}, {0, 4}, {count, 8}, {count, 8}});
        add({{size, 8}, {directory, 8}, {0x07064b50, 4}, {0, 4}, {end64, 8}, {1, 4}});
        count = 0xFFFF;
        size = directory = 0xFFFFFFFF;
    }
    add({{0x06054b50, 4}, {0, 4}, {count, 2}, {count, 2}, {size, 4}, {directory, 4}, {0, 2}});
    return out;
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
