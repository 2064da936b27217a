// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/MessageEntry.h"

#include "engine/MessageForm.h"

#include <algorithm>

namespace lumora {

int64_t MessageEntrySize(const std::string& message) {
    return static_cast<int64_t>(message.size()) + std::count(message.begin(), message.end(), '\n') +
           1;
}

std::string EncodeMessageEntry(const std::string& message) {
    std::string entry;
    entry.reserve(static_cast<size_t>(MessageEntrySize(message)));
    for (char c : message) {
        if (c == '\n')
            entry.push_back('\r');
        entry.push_back(c);
    }
    entry.push_back('\0');
    return entry;
}

std::string DecodeMessageEntry(std::string_view entry) {
    return FromStoredForm(entry.substr(0, entry.find('\0')));
}

} // namespace lumora
