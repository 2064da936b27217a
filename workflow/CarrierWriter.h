// SPDX-License-Identifier: GPL-2.0-or-later
// Drives an engine through one save: the image (or carrier) it starts from, the message,
// the files to keep and to add, and the destination.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace lumora {

class CBindImage;

struct CarrierContent {
    std::string source;                  // image or carrier whose image part is kept
    std::optional<std::string> password; // none saves without a password
    std::string message;                 // stored form; empty writes no message
    std::vector<int> keptSlots;          // hidden files of the source to carry over
    std::vector<std::string> addedFiles; // files on disk to add
};

// Writes the carrier to destination with a fresh engine; 1 on success, 0 on failure. The
// source's former hidden content is dropped except for keptSlots. Every added file must
// find a slot, otherwise the save fails rather than leaving a file out.
int WriteCarrier(CBindImage& engine, const CarrierContent& content, const std::string& destination);

} // namespace lumora
