// SPDX-License-Identifier: GPL-2.0-or-later
// What the archive layer uses of the zip format: general-purpose flag bits, methods, and
// the size from which entries are written with zip64 records.
#pragma once

namespace lumora {

inline constexpr unsigned long kFlagEncrypted = 1u << 0;
inline constexpr unsigned long kFlagDataDescriptor = 1u << 3;
inline constexpr unsigned long kFlagStrongEncryption = 1u << 6;
inline constexpr unsigned long kFlagUtf8Name = 1u << 11;
inline constexpr int kMethodStored = 0;

// Entries this large get zip64 records; smaller ones stay in the plain format.
inline constexpr unsigned long long kZip64Threshold = 0xFF000000u;

} // namespace lumora
