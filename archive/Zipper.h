// SPDX-License-Identifier: GPL-2.0-or-later
// Writes zip archives: new entries from files on disk or from memory, and entries copied
// from another archive. Every new entry is deflated at level 9 as a raw stream, carries
// DOS date and time 0, attributes 0, no extra field and no comment, and is encrypted with
// the traditional PKWARE cipher whenever a password is set (also an empty one); with
// SetStoreTimes, an entry from a file also carries its modification time. Int
// operations return 1 or 0; nothing throws.
#pragma once

#include "archive/EntryCheck.h"
#include "archive/ZipEntryInfo.h"
#include "crypt/SecretBytes.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace lumora {

class CipherCheckpoints;
class CUnzipper;
class GeneratedBytes;

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
    [[nodiscard]] int Open(const std::string& path, const std::optional<std::string>& rootFolder,
                           int append);
    // Whether new entries from files carry the file's modification time in an extended-
    // timestamp block (archive/ExtraFields.h). Off, no new entry has an extra field, as in
    // the classic format. Copies keep their extra fields either way.
    void SetStoreTimes(bool storeTimes) { m_storeTimes = storeTimes; }
    // A password (also an empty one) switches encryption on; null switches it off. The
    // password is borrowed and must outlive its use here.
    void SetPassword(const Password* password) { m_password = password; }
    // Naming: flatten gives the file name alone; an absolute path gives its file name;
    // "./x" gives "x"; "../x" is refused unless flatten; other relative paths stay as they
    // are and are read from rootFolder. Names that are not ASCII get general-purpose bit 11.
    [[nodiscard]] int AddFile(const std::string& path, bool flatten);
    // Adds the file at path (read from rootFolder when relative) under exactly entryName;
    // 0 when the name is not IsAcceptableNewEntryName.
    [[nodiscard]] int AddFileAs(const std::string& path, const std::string& entryName);
    // Adds length bytes from memory under entryName, which must be a safe name.
    [[nodiscard]] int AddBytesAs(const std::string& entryName, const uint8_t* data, size_t length);
    // One entry for AddEntries: the file at path; when path is empty the bytes of
    // `generated`, else the size bytes at data (both borrowed for the call).
    struct NewEntry {
        std::string entryName;
        std::string path;
        const uint8_t* data = nullptr;
        size_t size = 0;
        const GeneratedBytes* generated = nullptr;
    };
    // Adds the entries in order, deflated in blocks on the worker pool (see
    // archive/BlockDeflate.h); files are regular files other than this archive, names safe
    // ones. 1 when every entry was added. 0 when one failed: failedEntry says which, errno
    // why (0 when a file changed while it was read), and the archive must be given up.
    [[nodiscard]] int AddEntries(const std::vector<NewEntry>& entries,
                                 size_t* failedEntry = nullptr);
    // Adds every file below the folder (dot-files included, sub-folders walked); returns 0
    // only when no archive is open.
    [[nodiscard]] int AddFolder(const std::string& path, bool flatten);

    // Copies entry k of source into this archive under its exact stored name, with its
    // flags, method, CRC-32, sizes, DOS date and time, attributes, comment and extra fields
    // (less zip64 fields, which are written anew when needed, and blocks that run past the
    // end of the field), never inflating it.
    // - The stored bytes are kept byte for byte when the encryption stays as it is: an
    //   entry that is not encrypted copied without a password, or an encrypted one whose
    //   password equals this zipper's. The check byte of an encrypted entry is checked
    //   first all the same.
    // - Otherwise the data are deciphered under sourcePassword and enciphered under this
    //   zipper's password (or left plain without one) behind a fresh header.
    // - A copy never has a data descriptor (bit 3). An encrypted entry with one is
    //   enciphered afresh even under the same password, since readers take its check byte
    //   from the DOS time only while bit 3 is set; the new header uses the CRC's high byte.
    // WrongPassword (check byte, or no sourcePassword for an encrypted entry), Damaged and
    // Unsupported are known before anything is written for the entry; a read failure or
    // Cancelled later leaves a truncated entry, so the archive as a whole must then be
    // given up. WriteFailed when this archive cannot be written.
    // With asDamaged, an entry known to be damaged is copied all the same: its local header
    // may be damaged and its check byte is not compared; its data stay as they are.
    EntryCheck CopyEntryFrom(CUnzipper& source, int k, const Password* sourcePassword,
                             bool asDamaged = false);

    // Writes the central directory; 1 on success or when nothing was open.
    [[nodiscard]] int Close();

    const std::string& RootFolder() const { return m_rootFolder; }
    void SetProgress(ArchiveProgress progress) { m_progress = std::move(progress); }
    // Threads that deflate new entries (0: the default, see platform/WorkerPool.h). The
    // archive's bytes are the same for every count.
    void SetThreads(int threads) { m_threads = threads; }
    // Keeps the cipher's keys at every kCheckpointSpacing bytes of the new entries it
    // enciphers in `into` (by their index in this archive), for a reader of the archive
    // that deciphers on several threads; null for none. Borrowed while entries are added.
    void RecordCipherCheckpoints(CipherCheckpoints* into) { m_checkpoints = into; }

private:
    class EntrySink;

    std::string ResolveSourcePath(const std::string& path) const;
    [[nodiscard]] int AddOne(NewEntry entry) { return AddEntries({std::move(entry)}); }
    // Opens a file to hide, a regular file that is not this archive, and gives its size;
    // -1 with errno.
    [[nodiscard]] int OpenSourceFile(const std::string& path, uint64_t& size,
                                     int64_t& modifiedTime) const;
    [[nodiscard]] bool ReportProgress(uint64_t bytesDone) const;

    void* m_zip = nullptr; // minizip zipFile
    // Device and inode of the archive being written, so it is never added to itself.
    uint64_t m_archiveDevice = 0;
    uint64_t m_archiveInode = 0;
    std::string m_rootFolder;
    const Password* m_password = nullptr;
    ArchiveProgress m_progress;
    int m_threads = 1;
    CipherCheckpoints* m_checkpoints = nullptr;
    size_t m_entryCount = 0; // entries begun in this archive
    bool m_storeTimes = false;
};

} // namespace lumora
