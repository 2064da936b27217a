// SPDX-License-Identifier: GPL-2.0-or-later
// How much a picture can carry woven, and how much the hide wizard's content may take, so
// that the wizard can tell before a save whether the content fits.
#pragma once

#include "engine/Outcome.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lumora {

struct WovenRoom {
    // Ok, or why the picture cannot carry woven data at all (engine/WovenStatus.h's
    // CapacityStatus), its subject the picture's shown name.
    Status status;
    uint64_t capacity = 0; // the largest content under the picture's ceiling
    uint64_t limit = 0;    // the largest content the coder can carry in it at all
};

// Measures the picture at path without a password or a key derivation; never throws (a
// lack of memory is NoMemory). shownName is the subject of a failure.
WovenRoom MeasureWovenRoom(const std::string& path, const std::string& shownName);

struct ContentPart {
    std::string name; // the entry's name
    uint64_t size = 0;
};

// A bound the payload archive of a message of messageBytes (stored form; 0 for none) and
// these files never exceeds: their bytes as deflate could at worst store them, and each
// entry's headers, descriptors and extra fields with room to spare.
uint64_t ContentBound(uint64_t messageBytes, const std::vector<ContentPart>& files);

} // namespace lumora
