// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/MessageEntry.h"

#include "engine/MessageForm.h"
#include "engine/StreamFile.h"

#include <algorithm>

namespace lumora {

int64_t MessageEntrySize(const std::string& message) {
    return static_cast<int64_t>(message.size()) + std::count(message.begin(), message.end(), '\n') +
           1;
}

bool WriteMessageEntry(const std::string& path, const std::string& message) {
    StreamFile out;
    if (!out.Create(path))
        return false;
    std::string stored;
    for (size_t start = 0; start < message.size(); start += kCopyChunkSize) {
        stored.clear();
        for (size_t i = start; i < message.size() && i < start + kCopyChunkSize; ++i) {
            if (message[i] == '\n')
                stored.push_back('\r');
            stored.push_back(message[i]);
        }
        if (std::fwrite(stored.data(), 1, stored.size(), out.Get()) != stored.size())
            return false;
    }
    return std::fputc('\0', out.Get()) != EOF && out.Close();
}

std::string DecodeMessageEntry(std::string_view entry) {
    return FromStoredForm(entry.substr(0, entry.find('\0')));
}

} // namespace lumora
