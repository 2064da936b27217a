// SPDX-License-Identifier: GPL-2.0-or-later
// Reasons the engine gives in LastError that are not built from a name and errno.
#pragma once

namespace lumora {

inline constexpr const char* kDamagedPayload = "damaged or unreadable payload";
inline constexpr const char* kCarrierTooLarge = "the carrier would reach 2 GiB";
inline constexpr const char* kFilesTooLarge = "the hidden files together would reach 2 GiB";
inline constexpr const char* kMessageTooLarge = "the message is too large (64 MiB at most)";
inline constexpr const char* kNoPassword = "no password set";
inline constexpr const char* kWrongPassword = "wrong password";

} // namespace lumora
