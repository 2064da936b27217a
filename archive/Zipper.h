// SPDX-License-Identifier: GPL-2.0-or-later
// Writes zip archives from files and folders on disk. Every entry is deflated at level 9
// as a raw stream, carries DOS date and time 0, attributes 0, no extra field and no
// comment, and is encrypted with the traditional PKWARE cipher whenever a password is
// set (also an empty one). Operations return int 1 or 0 and never throw.
#pragma once

#include "archive/ZipEntryInfo.h"

#include <optional>
#include <string>

namespace lumora {

class CZipper {
public:
    CZipper() = default;
    // Opens path at once when it is not empty (see Open).
    CZipper(const std::string& path, const std::optional<std::string>& rootFolder, int append);
    ~CZipper();
    CZipper(const CZipper&) = delete;
    CZipper& operator=(const CZipper&) = delete;

    // Closes any open archive and opens path for writing; append 0 replaces the file.
    // rootFolder none: the folder part of path; non-empty: that folder with "/" added;
    // empty: no root folder.
    int Open(const std::string& path, const std::optional<std::string>& rootFolder, int append);
    // A password (also empty) switches encryption on; none switches it off.
    void SetPassword(const std::optional<std::string>& password);
    // Naming: flatten gives the file name alone; an absolute path gives its file name;
    // "./x" gives "x"; "../x" is refused unless flatten; other relative paths stay as they
    // are and are read from rootFolder. Names that are not ASCII get general-purpose bit 11.
    int AddFile(const std::string& path, bool flatten);
    // Adds every file below the folder (dot-files included, sub-folders walked); returns 0
    // only when no archive is open.
    int AddFolder(const std::string& path, bool flatten);
    // Writes the central directory; 1 on success or when nothing was open.
    int Close();

    const std::string& RootFolder() const { return m_rootFolder; }
    void SetProgress(ArchiveProgress progress) { m_progress = std::move(progress); }

private:
    std::string ResolveSourcePath(const std::string& path) const;
    bool ReportProgress(uint64_t bytesDone) const;

    void* m_zip = nullptr; // minizip zipFile
    // Device and inode of the archive being written, so it is never added to itself.
    uint64_t m_archiveDevice = 0;
    uint64_t m_archiveInode = 0;
    std::string m_rootFolder;
    std::optional<std::string> m_password;
    ArchiveProgress m_progress;
};

} // namespace lumora
