// SPDX-License-Identifier: GPL-2.0-or-later
// Unsigned integers stored as bytes in a fixed order, whatever the machine's own: least
// significant byte first (little-endian: the carrier trailer, zip records, the sealed and
// woven headers, BMP, GIF, TIFF "II" and the metafiles) or most significant first
// (big-endian: SHA-256, AES words, PNG, JPEG, TIFF "MM"). Each byte is named in one
// expression, which compilers turn into a single load or store (and a byte swap).
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace lumora {

template <std::unsigned_integral T> constexpr T LoadLittleEndian(const uint8_t* bytes) {
    return [bytes]<size_t... I>(std::index_sequence<I...>) {
        return static_cast<T>(((static_cast<T>(bytes[I]) << (8 * I)) | ...));
    }
    (std::make_index_sequence<sizeof(T)>{});
}

template <std::unsigned_integral T> constexpr T LoadBigEndian(const uint8_t* bytes) {
    return [bytes]<size_t... I>(std::index_sequence<I...>) {
        return static_cast<T>(((static_cast<T>(bytes[I]) << (8 * (sizeof(T) - 1 - I))) | ...));
    }
    (std::make_index_sequence<sizeof(T)>{});
}

template <std::unsigned_integral T> constexpr void StoreLittleEndian(uint8_t* bytes, T value) {
    [ bytes, value ]<size_t... I>(std::index_sequence<I...>) {
        ((bytes[I] = static_cast<uint8_t>(value >> (8 * I))), ...);
    }
    (std::make_index_sequence<sizeof(T)>{});
}

template <std::unsigned_integral T> constexpr void StoreBigEndian(uint8_t* bytes, T value) {
    [ bytes, value ]<size_t... I>(std::index_sequence<I...>) {
        ((bytes[I] = static_cast<uint8_t>(value >> (8 * (sizeof(T) - 1 - I)))), ...);
    }
    (std::make_index_sequence<sizeof(T)>{});
}

// Appends `value` little-endian to `out`.
template <std::unsigned_integral T> void AppendLittleEndian(std::vector<uint8_t>& out, T value) {
    out.resize(out.size() + sizeof(T));
    StoreLittleEndian(out.data() + out.size() - sizeof(T), value);
}

constexpr uint16_t LoadLe16(const uint8_t* bytes) {
    return LoadLittleEndian<uint16_t>(bytes);
}
constexpr uint32_t LoadLe32(const uint8_t* bytes) {
    return LoadLittleEndian<uint32_t>(bytes);
}
constexpr uint64_t LoadLe64(const uint8_t* bytes) {
    return LoadLittleEndian<uint64_t>(bytes);
}
constexpr uint16_t LoadBe16(const uint8_t* bytes) {
    return LoadBigEndian<uint16_t>(bytes);
}
constexpr uint32_t LoadBe32(const uint8_t* bytes) {
    return LoadBigEndian<uint32_t>(bytes);
}

} // namespace lumora
