// SPDX-License-Identifier: GPL-2.0-or-later
// Reads zip archives entry by entry, checks entries without writing them, and extracts
// single entries into a folder. Archives may be followed by up to 15 zero bytes.
//
// Opening reads the central directory once: no more records than it claims, no more than
// one per 46 bytes of the file, and none after the first record that cannot be read, so a
// directory that claims more entries than it holds cannot make enumeration run on.
// Entries are then selected in constant time. Entries whose bytes (local header to the end
// of the data) overlap another entry's are listed, but every read of them is Damaged and
// none is extracted: a few bytes shared by many records could otherwise inflate to far
// more than the archive holds. No entry is ever inflated beyond its declared size.
//
// Encrypted entries are read with the traditional PKWARE cipher under the password set.
// Names that are not safe (archive/EntryName.h) are never extracted. Int operations
// return 1 or 0; nothing throws.
#pragma once

#include "archive/EntryCheck.h"
#include "archive/ZipEntryInfo.h"
#include "crypt/SecretBytes.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lumora {

class ArchiveBytes;
struct DirectoryIndex;
struct EntryRecord;
class CipherCheckpoints;
class EntryDataReader;

class CUnzipper {
public:
    // Receives an entry's data block by block; false stops the reading (Cancelled).
    using Sink = std::function<bool(const uint8_t* data, size_t length)>;
    // ReadEntries: whether a position was begun.
    enum class Begin { Now, Later, Stop };
    // ReadEntries: gives the sink for a position (Now). inTurn says every earlier position
    // has ended; before that, Later asks again once they have. Stop stops the batch.
    using EntryBegin = std::function<Begin(size_t position, bool inTurn, Sink& sink)>;
    // ReadEntries: hears how a position's entry was read; false stops the batch.
    using EntryEnd = std::function<bool(size_t position, EntryCheck check)>;

    CUnzipper();
    explicit CUnzipper(const std::string& path); // opens path when it is not empty
    ~CUnzipper();
    CUnzipper(const CUnzipper&) = delete;
    CUnzipper& operator=(const CUnzipper&) = delete;

    // Closes any open archive, opens path and reads its central directory: Damaged when it
    // cannot be opened or is no zip archive, Cancelled when the progress callback stopped it.
    EntryCheck OpenChecked(const std::string& path);
    // As OpenChecked(path), for an archive read by position; bytes must outlive its use here.
    EntryCheck OpenChecked(const ArchiveBytes& bytes);
    [[nodiscard]] int Open(const std::string& path); // 1 when OpenChecked gives Ok
    void Close();
    // Null: no password. The password is borrowed and must outlive its use here.
    void SetPassword(const Password* password) { m_password = password; }
    // 0 when folder names an existing file; otherwise stores it and ensures it exists.
    [[nodiscard]] int SetTargetFolder(const std::string& folder);
    const std::string& TargetFolder() const { return m_targetFolder; }

    // The entries that could be read; DirectoryComplete is false when the directory
    // claims more than that.
    int EntryCount() const;
    bool DirectoryComplete() const;
    [[nodiscard]] int SelectEntry(int k);
    [[nodiscard]] int ReadEntryInfo(ZipEntryInfo& info);
    [[nodiscard]] int EntryInfoAt(int k, ZipEntryInfo& info);
    // Extracts the current entry into folder (the target folder when folder is none),
    // replacing an existing file and creating sub-folders of the entry name first. The
    // file appears only when the data passed its CRC-32 and size checks.
    [[nodiscard]] int ExtractCurrentEntry(const std::optional<std::string>& folder = std::nullopt);
    [[nodiscard]] int ExtractEntryAt(int k,
                                     const std::optional<std::string>& folder = std::nullopt);

    // For the checks below, an index outside the directory and an entry whose layout is
    // not Ok (ZipEntryInfo::layout) give Damaged or Unsupported before anything is read.
    // Compares the check byte of entry k's encryption header only (cheap); Ok for an entry
    // that is not encrypted.
    EntryCheck CheckEntryPasswordAt(int k);
    // Deciphers and inflates the whole entry as a stream and checks its CRC-32 and size;
    // writes nothing.
    EntryCheck VerifyEntryAt(int k);
    // As VerifyEntryAt, handing the data to sink. Data past the declared size is never
    // handed on; Damaged is only known at the end, so a sink must not trust what it was
    // given before Ok.
    EntryCheck ReadEntryAt(int k, const Sink& sink);
    // VerifyEntryAt for each of indices, on the worker pool when there are threads for it
    // (each worker with its own reader of the file). Ok when all are Ok; otherwise the
    // check of the lowest failing position in indices, whose entry goes to failedIndex.
    // Progress hears the bytes of all entries checked so far, on the calling thread.
    EntryCheck VerifyEntries(const std::vector<int>& indices, int* failedIndex = nullptr);
    // ReadEntryAt for each of indices, side by side on the worker pool when there are
    // threads for it and more than one entry (each worker with its own reader of the file).
    // On this thread, in the order of positions: begin gives a position's sink before its
    // entry is read (the sink may then run on a worker), end hears the entry's check once
    // it is read. At most two positions per worker are begun and not yet ended. When begin
    // stops or end refuses, nothing more is begun and the entries still being read stop;
    // the positions before one that begin stopped at are still read and ended. Progress hears the
    // bytes of all entries read so far, on this thread; Cancelled when it stopped the batch
    // (the positions not ended by then never are), else Ok.
    EntryCheck ReadEntries(const std::vector<int>& indices, const EntryBegin& begin,
                           const EntryEnd& end);

    // Reports and can cancel OpenChecked (set it before), extraction, checks and reads.
    void SetProgress(ArchiveProgress progress) { m_progress = std::move(progress); }
    // Threads for reading entries (0: the default, see platform/WorkerPool.h). With more
    // than one, a large entry is deciphered ahead of inflate on a worker, and
    // VerifyEntries checks entries side by side.
    void SetThreads(int threads) { m_threads = threads; }
    // The cipher's keys as the writer of this archive had them (CipherCheckpoints, which
    // must outlive the reads): a large entry read on this thread is then deciphered on
    // every thread, not on one. Null for none.
    void SetCipherCheckpoints(const CipherCheckpoints* checkpoints) { m_checkpoints = checkpoints; }

private:
    friend class CZipper; // CopyEntryFrom reads the stored data of entries

    // Reads the current entry's record and says whether its layout lets it be read.
    [[nodiscard]] bool ReadCurrentRecord(EntryRecord& record, EntryCheck& layout);
    // Makes entry k current and reads its record: its layout, or Damaged when it cannot.
    EntryCheck SelectRecord(int k, EntryRecord& record);
    // Reads the opened entry to its end into sink, checking declared size and CRC-32.
    EntryCheck Pump(EntryDataReader& reader, const EntryRecord& record, const Sink& sink);
    [[nodiscard]] bool ReportProgress(uint64_t bytesDone) const;
    // Opens the archive other has open, for a reader of its own.
    EntryCheck OpenSameAs(const CUnzipper& other);
    // Reads the directory of the archive just handed to minizip (m_unz, null when it
    // refused it) of size bytes.
    EntryCheck IndexOpened(uint64_t size);
    // An archive minizip refuses may still be a valid empty one.
    bool IsEmptyArchive(uint64_t size) const;
    EntryCheck ReadEntriesInTurn(const std::vector<int>& indices, const EntryBegin& begin,
                                 const EntryEnd& end);

    std::string m_path;
    const ArchiveBytes* m_bytes = nullptr; // the archive when it is no file, else null
    void* m_unz = nullptr;                 // minizip unzFile
    int m_currentIndex = -1;               // directory index of the current entry, -1 when unknown
    std::unique_ptr<DirectoryIndex> m_index;
    std::string m_targetFolder;
    const Password* m_password = nullptr;
    ArchiveProgress m_progress;
    int m_threads = 1;
    const CipherCheckpoints* m_checkpoints = nullptr;
};

} // namespace lumora
