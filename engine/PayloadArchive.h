// SPDX-License-Identifier: GPL-2.0-or-later
// The payload archive of a CBindImage: builds the archive of the next save from the kept
// entries, the added files and the message; reads the opened archive into the slots and
// the message; extracts single hidden files. What it works on is lent to each call
// (PayloadWork); it fails and reports progress through its engine's OperationReport,
// inside the engine's operation.
#pragma once

#include "archive/CipherCheckpoints.h"
#include "archive/EntryCheck.h"
#include "crypt/SecretBytes.h"
#include "engine/HeldMessage.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lumora {

class CUnzipper;
class CZipper;
class OperationReport;
class SlotTable;
class WorkDirs;
struct FileSlot;

// What the payload archive works on for one call, lent by its engine.
struct PayloadWork {
    SlotTable& table;
    HeldMessage& message;
    // Deciphers the opened archive's entries; a save writes under it unless a new
    // password is set.
    const Password* password;
    int threads;
    // When set, reading the archive compares its message with this one instead of holding
    // it (HeldMessage::matchedExpected).
    const std::string* expectedMessage = nullptr;
    // Opens the opened archive; false when it cannot be.
    std::function<bool(CUnzipper&)> openSource;
};

class PayloadArchive {
public:
    PayloadArchive(OperationReport& report, WorkDirs& work) : m_report(report), m_work(work) {}
    PayloadArchive(const PayloadArchive&) = delete;
    PayloadArchive& operator=(const PayloadArchive&) = delete;

    // CBindImage's BuildPayloadArchive and ReadPayloadArchive (see there).
    [[nodiscard]] int Build(const PayloadWork& work);
    [[nodiscard]] int Read(const PayloadWork& work);
    // Moves the built archive to path and forgets what the save was told beside the slots;
    // 0 when there is none or it cannot be moved.
    [[nodiscard]] int Adopt(const std::string& path);
    // Extracts the stored file of slot k (see CBindImage::ExtractHiddenFile).
    [[nodiscard]] int Extract(const PayloadWork& work, int k, std::string& dest);

    // What the next save writes beside the slots and the message (see CBindImage).
    void SetCarriedEntries(std::vector<int> entryIndices) { m_carried = std::move(entryIndices); }
    void KeepStoredMessage(bool keep) { m_keepStoredMessage = keep; }
    void SetDamagedKept(std::vector<int> entryIndices) { m_damagedKept = std::move(entryIndices); }
    bool KeepsStoredMessage() const { return m_keepStoredMessage; }
    void SetNewPassword(const Password* password) { m_newPassword = password; }
    const Password* NewPassword() const { return m_newPassword; }
    // Builds without PKWARE encryption (for sealed carriers) while set.
    void SetPlain(bool plain) { m_plain = plain; }
    // The password the next save writes under: the new one, else `current`.
    const Password* WritePassword(const Password* current) const {
        return m_newPassword != nullptr ? m_newPassword : current;
    }

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
    std::vector<int> KeptEntries(const PayloadWork& work) const;
    [[nodiscard]] int CopyKeptEntries(const PayloadWork& work, CZipper& zipper, CUnzipper& source,
                                      const std::vector<int>& kept, PackProgress& progress);
    [[nodiscard]] int AddNewEntries(const PayloadWork& work, CZipper& zipper,
                                    PackProgress& progress);
    // 1 for Ok, else 0 with the report telling the check of the entry name.
    [[nodiscard]] int FailEntry(EntryCheck check, const std::string& name);
    // Reads the message entry into message, or compares it with `expected` when set.
    [[nodiscard]] int ReadMessage(HeldMessage& message, CUnzipper& unzipper, int index,
                                  int64_t size, const std::string* expected);

    OperationReport& m_report;
    WorkDirs& m_work;
    std::vector<int> m_carried;
    std::vector<int> m_damagedKept;
    bool m_keepStoredMessage = false;
    bool m_plain = false;
    const Password* m_newPassword = nullptr;
    std::string m_builtPath;
    int64_t m_builtFileCount = 0;
    int64_t m_builtFilesSize = 0;
    CipherCheckpoints m_builtCheckpoints;
};

} // namespace lumora
