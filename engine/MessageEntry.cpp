// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/MessageEntry.h"

#include <algorithm>
#include <cstring>

namespace lumora {

int64_t MessageEntrySize(const std::string& message) {
    return static_cast<int64_t>(message.size()) + std::count(message.begin(), message.end(), '\n') +
           1;
}

MessageEntryBytes::MessageEntryBytes(const std::string& message) : m_message(message) {
    m_marks.reserve(message.size() / kStride + 1);
    uint64_t at = 0;
    for (size_t start = 0; start < message.size(); start += kStride) {
        m_marks.push_back(at);
        const auto first = message.begin() + static_cast<std::ptrdiff_t>(start);
        const auto last = message.begin() +
                          static_cast<std::ptrdiff_t>(std::min(start + kStride, message.size()));
        at += static_cast<uint64_t>(last - first) +
              static_cast<uint64_t>(std::count(first, last, '\n'));
    }
    m_size = at + 1;
}

void MessageEntryBytes::ReadAt(uint64_t offset, uint8_t* out, size_t length) const {
    // From the last mark at or before offset, walk to it: i is the message byte whose
    // bytes in the entry begin at `at`.
    const auto mark = std::upper_bound(m_marks.begin(), m_marks.end(), offset);
    size_t i =
        mark == m_marks.begin() ? 0 : static_cast<size_t>(mark - m_marks.begin() - 1) * kStride;
    uint64_t at = mark == m_marks.begin() ? 0 : *(mark - 1);
    for (; i < m_message.size(); ++i) {
        const uint64_t width = m_message[i] == '\n' ? 2 : 1;
        if (at + width > offset)
            break;
        at += width;
    }
    // Starting between the CR and the LF of a line break.
    bool lfNext = at < offset;
    size_t written = 0;
    while (written < length) {
        if (lfNext) {
            out[written++] = '\n';
            lfNext = false;
            ++i;
        } else if (i >= m_message.size()) {
            out[written++] = '\0';
        } else {
            const char* run = m_message.data() + i;
            const size_t span = std::min(length - written, m_message.size() - i);
            const void* lf = std::memchr(run, '\n', span);
            const size_t plain =
                lf != nullptr ? static_cast<size_t>(static_cast<const char*>(lf) - run) : span;
            std::memcpy(out + written, run, plain);
            written += plain;
            i += plain;
            if (lf != nullptr) {
                out[written++] = '\r';
                lfNext = true;
            }
        }
    }
}

void MessageEntryReader::Feed(std::string_view piece) {
    if (m_ended)
        return;
    const size_t nul = piece.find('\0');
    m_ended = nul != std::string_view::npos;
    m_reader.Feed(piece.substr(0, nul));
}

} // namespace lumora
