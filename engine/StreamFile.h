// SPDX-License-Identifier: GPL-2.0-or-later
// File streams for the engine's copies: every copy moves 2048-byte chunks, while stdio
// buffers a larger block underneath so large files move at disk speed.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

namespace lumora {

constexpr size_t kCopyChunkSize = 2048;
constexpr size_t kStreamBufferSize = 256 * 1024;

// An owned stdio stream with its own buffer; closed when destroyed.
class StreamFile {
public:
    StreamFile() = default;
    ~StreamFile() { Close(); }
    StreamFile(const StreamFile&) = delete;
    StreamFile& operator=(const StreamFile&) = delete;

    // Opens an existing regular file for reading. Folders, devices and pipes are refused
    // with EISDIR or EINVAL in errno, and opening never waits on a pipe.
    bool OpenRead(const std::string& path);
    // Creates or truncates a file for writing.
    bool Create(const std::string& path);
    // Closes the stream; false when a buffered write or the close failed (errno set).
    bool Close();

    FILE* Get() const { return m_file; }
    explicit operator bool() const { return m_file != nullptr; }

private:
    void Attach(FILE* file);

    std::unique_ptr<char[]> m_buffer;
    FILE* m_file = nullptr;
};

// Opens path for reading like StreamFile::OpenRead, as a bare unbuffered-by-us stream.
FILE* OpenRegularFileForReading(const std::string& path);

// Size in bytes of an open stream's file; -1 when it cannot be told.
int64_t StreamSize(FILE* file);

enum class CopyStatus { Done, ReadFailed, WriteFailed, Cancelled };

struct [[nodiscard]] CopyResult {
    CopyStatus status = CopyStatus::Done;
    int64_t copied = 0;
    int error = 0; // errno of a failed read or write
};

// Copies from the current position of in to the current position of out, at most limit
// bytes (all when limit is negative) and never past the end of in. progress, when set,
// hears the bytes copied so far after every chunk and cancels the copy by returning false.
CopyResult CopyStream(FILE* in, FILE* out, int64_t limit,
                      const std::function<bool(uint64_t)>& progress = {});

} // namespace lumora
