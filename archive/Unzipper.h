// SPDX-License-Identifier: GPL-2.0-or-later
// Reads zip archives entry by entry and extracts single entries into a folder. Archives
// may be followed by up to 15 zero bytes. Entries are decrypted with the traditional
// PKWARE cipher when they are encrypted and a password is set. Entry names that are
// absolute or contain a ".." component are never extracted. Operations return int 1 or 0
// and never throw.
#pragma once

#include "archive/ZipEntryInfo.h"

#include <optional>
#include <string>

namespace lumora {

class CUnzipper {
public:
    CUnzipper() = default;
    explicit CUnzipper(const std::string& path); // opens path when it is not empty
    ~CUnzipper();
    CUnzipper(const CUnzipper&) = delete;
    CUnzipper& operator=(const CUnzipper&) = delete;

    int Open(const std::string& path);
    void Close();
    void SetPassword(const std::optional<std::string>& password);
    // 0 when folder names an existing file; otherwise stores it and ensures it exists.
    int SetTargetFolder(const std::string& folder);
    const std::string& TargetFolder() const { return m_targetFolder; }

    int EntryCount();
    int SelectEntry(int k);
    int ReadEntryInfo(ZipEntryInfo& info);
    int EntryInfoAt(int k, ZipEntryInfo& info);
    // Extracts the current entry into folder (the target folder when folder is none),
    // replacing an existing file and creating sub-folders of the entry name first.
    int ExtractCurrentEntry(const std::optional<std::string>& folder = std::nullopt);
    int ExtractEntryAt(int k, const std::optional<std::string>& folder = std::nullopt);

    void SetProgress(ArchiveProgress progress) { m_progress = std::move(progress); }

private:
    bool ReportProgress(uint64_t bytesDone) const;

    void* m_unz = nullptr;   // minizip unzFile
    int m_currentIndex = -1; // directory index of the current entry, -1 when unknown
    std::string m_targetFolder;
    std::optional<std::string> m_password;
    ArchiveProgress m_progress;
};

} // namespace lumora
