// SPDX-License-Identifier: GPL-2.0-or-later
// Replaces a file only once its new content is complete: the content goes to a new
// file beside the destination, which is flushed, synced and renamed over it on Commit.
// Until then the destination stays as it was; an uncommitted file is removed.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace lumora {

class AtomicFile {
public:
    explicit AtomicFile(std::string destination);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file; false when the destination's folder is not writable.
    bool Open();
    // The stream to write the new content to (buffered generously); null before Open.
    FILE* Stream() const { return m_stream; }
    bool Write(const void* data, size_t length);
    // Flushes and renames the new file over the destination, syncing it to the disk first
    // unless told not to (copies that can be made again need no sync). The new file takes
    // the destination's permissions when it existed, else the usual ones for new files.
    enum class Sync { Yes, No };
    bool Commit(Sync sync = Sync::Yes);
    // Removes the new file; the destination is untouched.
    void Abort();

    const std::string& Destination() const { return m_destination; }
    const std::string& TempPath() const { return m_tempPath; }

private:
    std::string m_destination;
    std::string m_tempPath;
    FILE* m_stream = nullptr;
    std::vector<char> m_buffer;
};

// Moves a file, replacing the target: rename, or copy and delete across file systems.
bool MoveFileReplacing(const std::string& from, const std::string& to);

} // namespace lumora
