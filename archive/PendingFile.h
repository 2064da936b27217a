// SPDX-License-Identifier: GPL-2.0-or-later
// An extracted file in the making: written under a temporary name beside its
// destination and renamed over it only when complete, so a failed extraction leaves
// neither a partial file nor a damaged earlier copy behind.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace lumora {

class PendingFile {
public:
    explicit PendingFile(std::string destination) : m_destination(std::move(destination)) {}
    ~PendingFile() { Discard(); }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // Creates the temporary file with the usual permissions for new files.
    bool Create();
    bool Write(const void* data, size_t length);
    // Closes the temporary file and renames it over the destination.
    bool Commit();
    // Removes the temporary file; the destination stays as it was.
    void Discard();

private:
    std::string m_destination;
    std::string m_tempPath;
    FILE* m_stream = nullptr;
    std::vector<char> m_buffer;
};

} // namespace lumora
