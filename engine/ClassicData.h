// SPDX-License-Identifier: GPL-2.0-or-later
// Whether a file holds classic hidden data: the one rule of the carrier session, the engine
// beneath it, lumora-cli's scan and info, and the main window. Classic data is what a
// trailer of version 1 describes when the image part and the payload it gives both fit in
// front of it and neither is empty (an empty image part cannot be cut off, an empty
// payload holds nothing).
#pragma once

#include "engine/CarrierTrailer.h"

#include <cstdint>
#include <optional>
#include <string>

namespace lumora {

// What the last 60 bytes of a file make of it.
enum class TrailerVerdict {
    None,         // no trailer: the file does not end in "VZ"
    OtherVersion, // a trailer of a version this program does not read
    OutsideFile,  // image part and payload do not fit in front of the trailer
    EmptyPart,    // the image part or the payload is empty
    Classic,      // classic data this program can read
};

// The verdict on `trailer`, read from the end of a file of fileSize bytes.
TrailerVerdict JudgeTrailer(const CarrierTrailer& trailer, int64_t fileSize);

// JudgeTrailer(trailer, fileSize) == TrailerVerdict::Classic.
bool HoldsClassicData(const CarrierTrailer& trailer, int64_t fileSize);

// The trailer of the regular file open as fd, read with pread, when the file holds classic
// data; none for any other file and when it cannot be read.
std::optional<CarrierTrailer> ClassicTrailerOf(int fd);
// The same for the regular file at path; opening it never waits on a FIFO.
std::optional<CarrierTrailer> ClassicTrailerOf(const std::string& path);

} // namespace lumora
