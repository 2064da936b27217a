// SPDX-License-Identifier: GPL-2.0-or-later
// The file behind the message entry "veilnote.vnt". The message is held with CR LF line
// breaks; the entry stores it as a text-mode write would on the system the format comes
// from: an extra CR before every LF, then one NUL. Reading undoes both.
//
// A message may be tens of megabytes, so neither direction builds the entry's bytes
// whole: a save deflates them as they are made (MessageEntryBytes), a read decodes them
// as they are inflated (MessageEntryReader).
#pragma once

#include "archive/BlockDeflate.h"
#include "engine/MessageForm.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lumora {

// The message is held in memory whole, so its entry is bounded: a larger one is refused
// as damaged when read and a larger message is refused when saved.
inline constexpr int64_t kMaxMessageEntrySize = int64_t{64} << 20;

// Bytes of the entry that stores message: an extra CR per LF and the closing NUL.
int64_t MessageEntrySize(const std::string& message);

// The entry's bytes for a message, made wherever they are read. Borrows the message,
// which must stay unchanged while it is read.
class MessageEntryBytes final : public GeneratedBytes {
public:
    explicit MessageEntryBytes(const std::string& message);
    uint64_t Size() const override { return m_size; }
    void ReadAt(uint64_t offset, uint8_t* out, size_t length) const override;

private:
    // Every kStride bytes of the message, where that byte lies in the entry: a read
    // starts from the last mark before it.
    static constexpr size_t kStride = 4096;
    const std::string& m_message;
    std::vector<uint64_t> m_marks;
    uint64_t m_size = 0;
};

// The message held by an entry whose bytes come in pieces: the text ends at the first
// NUL or at the end, and CR LF becomes LF (a lone CR stays). The text goes to the sink in
// pieces (see StoredFormReader).
class MessageEntryReader {
public:
    explicit MessageEntryReader(StoredFormReader::Sink sink) : m_reader(std::move(sink)) {}
    void Feed(std::string_view piece);
    // Call once after the last piece.
    void Finish() { m_reader.Finish(); }

private:
    StoredFormReader m_reader;
    bool m_ended = false; // the NUL was seen
};

} // namespace lumora
