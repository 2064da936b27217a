// SPDX-License-Identifier: GPL-2.0-or-later
// The payload archive of a CBindImage: builds the archive of the next save from the kept
// entries, the added files and the message; reads the opened archive into the slots and
// the message; extracts single hidden files. It works on its owner's slots, message and
// password, and fails and reports progress through its owner, inside the owner's
// operation.
#pragma once

#include "archive/CipherCheckpoints.h"
#include "archive/EntryCheck.h"
#include "crypt/SecretBytes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lumora {

class CBindImage;
class CUnzipper;
class CZipper;

class PayloadArchive {
public:
    explicit PayloadArchive(CBindImage& owner) : m_owner(owner) {}
    PayloadArchive(const PayloadArchive&) = delete;
    PayloadArchive& operator=(const PayloadArchive&) = delete;

    // CBindImage's BuildPayloadArchive, ReadPayloadArchive, AdoptBuiltArchive and
    // ExtractHiddenFile (see there).
    [[nodiscard]] int Build();
    [[nodiscard]] int Read();
    [[nodiscard]] int Adopt();
    [[nodiscard]] int Extract(int k, std::string& dest);

    // What the next save writes beside the slots and the message (see CBindImage).
    void SetCarriedEntries(std::vector<int> entryIndices) { m_carried = std::move(entryIndices); }
    void KeepStoredMessage(bool keep) { m_keepStoredMessage = keep; }
    bool KeepsStoredMessage() const { return m_keepStoredMessage; }
    void SetNewPassword(const Password* password) { m_newPassword = password; }
    // Builds without PKWARE encryption (for sealed carriers) while set.
    void SetPlain(bool plain) { m_plain = plain; }
    // The password the next save writes under: the new one, else the owner's.
    const Password* WritePassword() const;

    // The archive of the running or last save, and the hidden files in it.
    const std::string& BuiltPath() const { return m_builtPath; }
    int64_t BuiltFileCount() const { return m_builtFileCount; }
    int64_t BuiltFilesSize() const { return m_builtFilesSize; }
    // The cipher's keys at points of the entries the last build enciphered, for the
    // read-back of the save.
    const CipherCheckpoints& BuiltCheckpoints() const { return m_builtCheckpoints; }
    void ForgetCheckpoints() { m_builtCheckpoints.Clear(); }

private:
    struct PackProgress {
        int64_t done = 0;
        int64_t total = 0;
    };
    std::vector<int> KeptEntries() const;
    [[nodiscard]] int CopyKeptEntries(CZipper& zipper, CUnzipper& source,
                                      const std::vector<int>& kept, PackProgress& progress);
    [[nodiscard]] int AddNewEntries(CZipper& zipper, const std::string& archivePath,
                                    PackProgress& progress);
    // 1 for Ok, else 0 with the owner's LastStatus telling the check of the entry name.
    [[nodiscard]] int FailEntry(EntryCheck check, const std::string& name);
    [[nodiscard]] int ReadMessage(CUnzipper& unzipper, int index, int64_t size);

    CBindImage& m_owner;
    std::vector<int> m_carried;
    bool m_keepStoredMessage = false;
    bool m_plain = false;
    const Password* m_newPassword = nullptr;
    std::string m_builtPath;
    int64_t m_builtFileCount = 0;
    int64_t m_builtFilesSize = 0;
    CipherCheckpoints m_builtCheckpoints;
};

} // namespace lumora
