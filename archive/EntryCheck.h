// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

namespace lumora {

// What reading (or copying) one entry found.
enum class [[nodiscard]] EntryCheck{
    Ok,
    // The check byte of the entry's encryption header does not match the password, or the
    // entry is encrypted and no password was given.
    WrongPassword,
    // Anything else wrong with the entry: a bad record or local header, data that overlaps
    // another entry's, bad deflate data, a CRC-32 or size that does not match, a short file.
    Damaged,
    // A compression method other than stored and deflate, strong encryption, or a name or
    // comment that cannot be written again (a NUL in it).
    Unsupported,
    // The progress callback or the sink asked to stop.
    Cancelled,
    // Writing the target archive failed (CZipper::CopyEntryFrom only; errno says why).
    WriteFailed,
};

} // namespace lumora
