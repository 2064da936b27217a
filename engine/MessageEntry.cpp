// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/MessageEntry.h"

#include "engine/StreamFile.h"

#include <algorithm>
#include <cstring>

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

bool ReadMessageEntry(const std::string& path, std::string& message) {
    StreamFile in;
    if (!in.OpenRead(path))
        return false;
    std::string text;
    bool pendingCr = false;
    char chunk[kCopyChunkSize];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, in.Get())) > 0) {
        const char* end = static_cast<const char*>(std::memchr(chunk, '\0', got));
        size_t usable = end != nullptr ? static_cast<size_t>(end - chunk) : got;
        for (size_t i = 0; i < usable; ++i) {
            if (pendingCr && chunk[i] != '\n')
                text.push_back('\r');
            pendingCr = chunk[i] == '\r';
            if (!pendingCr)
                text.push_back(chunk[i]);
        }
        if (end != nullptr)
            break;
    }
    if (std::ferror(in.Get()))
        return false;
    if (pendingCr)
        text.push_back('\r');
    message = std::move(text);
    return true;
}

} // namespace lumora
