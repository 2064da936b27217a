// SPDX-License-Identifier: GPL-2.0-or-later
// General-purpose flag bits and methods of zip entries that the archive layer looks at.
#pragma once

namespace lumora {

inline constexpr unsigned long kFlagEncrypted = 1u << 0;
inline constexpr unsigned long kFlagDataDescriptor = 1u << 3;
inline constexpr unsigned long kFlagStrongEncryption = 1u << 6;
inline constexpr unsigned long kFlagUtf8Name = 1u << 11;
inline constexpr int kMethodStored = 0;

} // namespace lumora
