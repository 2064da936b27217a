// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/Unzipper.h"

#include "archive/ArchiveBytesIo.h"
#include "archive/ArchiveUtil.h"
#include "archive/CipherCheckpoints.h"
#include "archive/DirectoryIndex.h"
#include "archive/EntryDataReader.h"
#include "archive/EntryName.h"
#include "archive/EntryRecord.h"
#include "archive/ExtraFields.h"
#include "platform/AtomicFile.h"
#include "platform/WorkerPool.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <filesystem>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace lumora {
namespace {

constexpr size_t kBlockSize = 64 * 1024;
// Entries with less stored data are read on one thread: handing chunks over would cost
// more than it saves.
constexpr uint64_t kPrefetchFrom = 256 * 1024;

unzFile Handle(void* unz) {
    return static_cast<unzFile>(unz);
}

uint32_t Clamp32(ZPOS64_T value) {
    return value > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(value);
}

EntryCheck LayoutOf(const EntryRecord& record, const IndexedEntry& entry) {
    if (CheckMethod(record.info) != EntryCheck::Ok)
        return EntryCheck::Unsupported;
    return entry.located && !entry.overlaps ? EntryCheck::Ok : EntryCheck::Damaged;
}

} // namespace

CUnzipper::CUnzipper() = default;

CUnzipper::CUnzipper(const std::string& path) {
    // A constructor cannot tell the caller: one that failed leaves no entries to read.
    if (!path.empty())
        static_cast<void>(Open(path));
}

CUnzipper::~CUnzipper() {
    Close();
}

EntryCheck CUnzipper::OpenChecked(const std::string& path) {
    Close();
    struct stat file {};
    if (::stat(path.c_str(), &file) != 0)
        return EntryCheck::Damaged;
    m_path = path;
    m_bytes = nullptr;
    m_unz = unzOpen64(path.c_str());
    return IndexOpened(static_cast<uint64_t>(file.st_size));
}

EntryCheck CUnzipper::OpenChecked(const ArchiveBytes& bytes) {
    Close();
    m_path.clear();
    m_bytes = &bytes;
    zlib_filefunc64_def functions = ArchiveBytesFunctions();
    m_unz = unzOpen2_64(&bytes, &functions);
    return IndexOpened(bytes.Size());
}

EntryCheck CUnzipper::OpenSameAs(const CUnzipper& other) {
    return other.m_bytes != nullptr ? OpenChecked(*other.m_bytes) : OpenChecked(other.m_path);
}

EntryCheck CUnzipper::IndexOpened(uint64_t size) {
    m_index = std::make_unique<DirectoryIndex>();
    if (m_unz == nullptr) {
        if (IsEmptyArchive(size)) {
            m_index->complete = true;
            return EntryCheck::Ok;
        }
        m_index.reset();
        return EntryCheck::Damaged;
    }
    // One descriptor for all the local names of a file.
    FILE* file = m_bytes == nullptr ? std::fopen(m_path.c_str(), "rb") : nullptr;
    const ReadBytesAt readAt = [this, file](uint64_t offset, uint8_t* out, size_t length) {
        if (m_bytes != nullptr)
            return m_bytes->ReadAt(offset, out, length);
        return file != nullptr &&
               ::pread(::fileno(file), out, length, static_cast<off_t>(offset)) ==
                   static_cast<ssize_t>(length);
    };
    EntryCheck read = BuildDirectoryIndex(Handle(m_unz), size, readAt, m_progress, *m_index);
    if (file != nullptr)
        std::fclose(file);
    if (read != EntryCheck::Ok) {
        Close();
        return read;
    }
    // Only a head start: every reader of an entry selects it first, and an empty archive
    // has nothing to select.
    static_cast<void>(SelectEntry(0));
    return EntryCheck::Ok;
}

// minizip refuses an archive without entries, which is what a carrier holding neither a
// message nor files has: an end record that lists nothing, then at most the cipher's
// padding of zero bytes.
bool CUnzipper::IsEmptyArchive(uint64_t size) const {
    constexpr size_t kEndRecordSize = 22;
    constexpr size_t kMostPadding = 15;
    if (size < kEndRecordSize || size > kEndRecordSize + kMostPadding)
        return false;
    uint8_t bytes[kEndRecordSize + kMostPadding] = {};
    const auto length = static_cast<size_t>(size);
    if (m_bytes != nullptr) {
        if (!m_bytes->ReadAt(0, bytes, length))
            return false;
    } else {
        FILE* file = std::fopen(m_path.c_str(), "rb");
        if (file == nullptr)
            return false;
        const size_t got = std::fread(bytes, 1, length, file);
        std::fclose(file);
        if (got != length)
            return false;
    }
    static const uint8_t kEmptyEnd[kEndRecordSize] = {'P', 'K', 5, 6};
    return std::memcmp(bytes, kEmptyEnd, kEndRecordSize) == 0 &&
           std::all_of(bytes + kEndRecordSize, bytes + length, [](uint8_t b) { return b == 0; });
}

int CUnzipper::Open(const std::string& path) {
    return OpenChecked(path) == EntryCheck::Ok ? 1 : 0;
}

void CUnzipper::Close() {
    m_index.reset();
    if (m_unz == nullptr)
        return;
    unzCloseCurrentFile(Handle(m_unz));
    unzClose(Handle(m_unz));
    m_unz = nullptr;
    m_currentIndex = -1;
}

int CUnzipper::SetTargetFolder(const std::string& folder) {
    std::error_code ec;
    auto status = std::filesystem::status(folder, ec);
    if (std::filesystem::exists(status) && !std::filesystem::is_directory(status))
        return 0;
    m_targetFolder = folder;
    return EnsureFolder(folder);
}

int CUnzipper::EntryCount() const {
    if (!m_index)
        return 0;
    size_t count = m_index->entries.size();
    return count > INT_MAX ? INT_MAX : static_cast<int>(count);
}

bool CUnzipper::DirectoryComplete() const {
    return m_index && m_index->complete;
}

int CUnzipper::SelectEntry(int k) {
    if (m_unz == nullptr || k < 0 || k >= EntryCount())
        return 0;
    if (k == m_currentIndex)
        return 1;
    m_currentIndex = -1;
    if (unzSetOffset64(Handle(m_unz), m_index->entries[static_cast<size_t>(k)].directoryPos) !=
        UNZ_OK)
        return 0;
    m_currentIndex = k;
    return 1;
}

bool CUnzipper::ReadCurrentRecord(EntryRecord& record, EntryCheck& layout) {
    if (m_unz == nullptr || m_currentIndex < 0 || !ReadEntryRecord(Handle(m_unz), record))
        return false;
    layout = LayoutOf(record, m_index->entries[static_cast<size_t>(m_currentIndex)]);
    return true;
}

EntryCheck CUnzipper::SelectRecord(int k, EntryRecord& record) {
    EntryCheck layout = EntryCheck::Damaged;
    if (SelectEntry(k) == 0 || !ReadCurrentRecord(record, layout))
        return EntryCheck::Damaged;
    return layout;
}

int CUnzipper::ReadEntryInfo(ZipEntryInfo& info) {
    EntryRecord record;
    EntryCheck layout = EntryCheck::Damaged;
    if (!ReadCurrentRecord(record, layout))
        return 0;
    const IndexedEntry& entry = m_index->entries[static_cast<size_t>(m_currentIndex)];
    info.name = record.name;
    info.storedName = record.storedName;
    info.comment = record.comment;
    info.versionMadeBy = static_cast<int>(record.info.version);
    info.versionNeeded = static_cast<int>(record.info.version_needed);
    info.flags = static_cast<int>(record.info.flag);
    info.method = static_cast<int>(record.info.compression_method);
    info.dosDateTime = static_cast<uint32_t>(record.info.dosDate);
    info.modifiedTime = ModifiedTimeIn(record.extra);
    if (!info.modifiedTime)
        info.modifiedTime = TimeOfDosDate(info.dosDateTime);
    info.crc32 = static_cast<uint32_t>(record.info.crc);
    info.compressedSize = Clamp32(record.info.compressed_size);
    info.uncompressedSize = Clamp32(record.info.uncompressed_size);
    info.internalAttributes = static_cast<int>(record.info.internal_fa);
    info.externalAttributes = static_cast<uint32_t>(record.info.external_fa);
    info.isFolder = !record.name.empty() && record.name.back() == '/';
    info.encrypted = (record.info.flag & kFlagEncrypted) != 0;
    info.dataDescriptor = (record.info.flag & kFlagDataDescriptor) != 0;
    info.layout = layout;
    info.localHeaderOffset = entry.localHeaderOffset;
    info.dataOffset = entry.dataOffset;
    return 1;
}

int CUnzipper::EntryInfoAt(int k, ZipEntryInfo& info) {
    return SelectEntry(k) != 0 ? ReadEntryInfo(info) : 0;
}

EntryCheck CUnzipper::Pump(EntryDataReader& reader, const EntryRecord& record, const Sink& sink) {
    uint8_t block[kBlockSize];
    uint64_t done = 0;
    uLong crc = crc32(0L, Z_NULL, 0);
    for (;;) {
        long got = reader.Read(block, sizeof block);
        if (got == 0)
            break;
        // Data beyond the size the directory gives is damage or a decompression bomb.
        if (got < 0 || done + static_cast<uint64_t>(got) > record.info.uncompressed_size)
            return EntryCheck::Damaged;
        done += static_cast<uint64_t>(got);
        crc = crc32(crc, block, static_cast<uInt>(got));
        if (!sink(block, static_cast<size_t>(got)) || !ReportProgress(done))
            return EntryCheck::Cancelled;
    }
    // A wrong password that passed the check byte, or damaged data, shows up here.
    bool intact = done == record.info.uncompressed_size && crc == record.info.crc;
    return intact ? EntryCheck::Ok : EntryCheck::Damaged;
}

EntryCheck CUnzipper::CheckEntryPasswordAt(int k) {
    EntryRecord record;
    EntryCheck layout = SelectRecord(k, record);
    if (layout != EntryCheck::Ok || (record.info.flag & kFlagEncrypted) == 0)
        return layout;
    StoredDataReader reader(Handle(m_unz));
    return reader.Open(record.info, m_password, StoredDataReader::Mode::Deciphered);
}

EntryCheck CUnzipper::VerifyEntryAt(int k) {
    return ReadEntryAt(k, [](const uint8_t*, size_t) { return true; });
}

EntryCheck CUnzipper::ReadEntryAt(int k, const Sink& sink) {
    EntryRecord record;
    EntryCheck layout = SelectRecord(k, record);
    if (layout != EntryCheck::Ok)
        return layout;
    EntryDataReader reader(Handle(m_unz));
    const bool prefetch =
        record.info.compressed_size >= kPrefetchFrom && WorkerPool::CanWaitForTasks(m_threads);
    const std::span<const PkwareKeys> checkpoints = m_checkpoints != nullptr
                                                        ? m_checkpoints->Of(static_cast<size_t>(k))
                                                        : std::span<const PkwareKeys>();
    EntryCheck opened =
        reader.Open(record.info, m_password, prefetch, checkpoints, ResolveThreadCount(m_threads));
    return opened == EntryCheck::Ok ? Pump(reader, record, sink) : opened;
}

EntryCheck CUnzipper::VerifyEntries(const std::vector<int>& indices, int* failedIndex) {
    if (failedIndex != nullptr)
        *failedIndex = -1;
    const size_t workers =
        WorkerPool::CanWaitForTasks(m_threads)
            ? std::min<size_t>(static_cast<size_t>(ResolveThreadCount(m_threads)), indices.size())
            : 0;
    std::atomic<size_t> next{0};
    std::atomic<uint64_t> done{0};
    // Positions from here on are not checked: a failure stops the work on later positions
    // only, so the failure told is the one at the lowest position, as on one thread.
    std::atomic<size_t> stopFrom{indices.size()};
    std::vector<EntryCheck> checks(indices.size(), EntryCheck::Ok);
    const auto stopAt = [&stopFrom](size_t at) {
        size_t current = stopFrom.load();
        while (at < current && !stopFrom.compare_exchange_weak(current, at)) {
        }
    };
    // Takes the next position until the positions run out or stop.
    auto work = [&](CUnzipper& archive, const std::function<bool()>& report) {
        uint64_t entryDone = 0;
        size_t at = 0;
        archive.SetProgress([&](uint64_t bytes) {
            done += bytes - entryDone;
            entryDone = bytes;
            return at < stopFrom && report();
        });
        for (at = next++; at < stopFrom; at = next++) {
            entryDone = 0;
            const EntryCheck check = archive.VerifyEntryAt(indices[at]);
            // Cancelled only because a failure before it stopped the work: not this entry's.
            if (check == EntryCheck::Ok || (check == EntryCheck::Cancelled && at >= stopFrom))
                continue;
            checks[at] = check;
            stopAt(at);
        }
    };
    bool cancelled = false;
    std::atomic<bool> unreadable{false};
    if (workers <= 1) {
        const ArchiveProgress told = m_progress;
        work(*this, [&] { return !told || told(done); });
        m_progress = told;
    } else {
        TaskGroup group(static_cast<int>(workers));
        for (size_t i = 0; i < workers; ++i) {
            group.Run([&] {
                CUnzipper archive;
                if (archive.OpenSameAs(*this) == EntryCheck::Ok) {
                    archive.SetPassword(m_password);
                    archive.SetCipherCheckpoints(m_checkpoints);
                    work(archive, [] { return true; });
                } else {
                    unreadable = true;
                    stopAt(0);
                }
            });
        }
        // Progress is told, and Cancel heard, on this thread only: at once, then at every
        // interval until the workers are done.
        for (bool ended = false; !ended;) {
            if (!cancelled && !ReportProgress(done)) {
                cancelled = true;
                stopAt(0);
            }
            ended = group.WaitFor(kWorkerProgressInterval);
        }
        // Only memory running out makes a task throw; on one thread it would reach the
        // caller as well.
        if (group.Failed())
            throw std::bad_alloc();
    }
    if (cancelled)
        return EntryCheck::Cancelled;
    if (unreadable)
        return EntryCheck::Damaged;
    const auto failed = std::find_if(checks.begin(), checks.end(),
                                     [](EntryCheck check) { return check != EntryCheck::Ok; });
    if (failed == checks.end())
        return EntryCheck::Ok;
    if (failedIndex != nullptr)
        *failedIndex = indices[static_cast<size_t>(failed - checks.begin())];
    return *failed;
}

int CUnzipper::ExtractCurrentEntry(const std::optional<std::string>& folder) {
    const std::string& target = folder ? *folder : m_targetFolder;
    EntryRecord record;
    EntryCheck layout = EntryCheck::Damaged;
    if (m_unz == nullptr || EnsureFolder(target) == 0 || !ReadCurrentRecord(record, layout) ||
        !IsSafeEntryName(record.name))
        return 0;
    if (record.name.back() == '/')
        return 1;
    if (layout != EntryCheck::Ok)
        return 0;
    // The password is checked before anything is created for the entry.
    EntryDataReader reader(Handle(m_unz));
    if (reader.Open(record.info, m_password) != EntryCheck::Ok)
        return 0;
    std::string outPath = target + (target.back() == '/' ? "" : "/") + record.name;
    if (EnsureParentFolder(outPath) == 0)
        return 0;
    AtomicFile output(outPath);
    if (!output.Open())
        return 0;
    auto write = [&](const uint8_t* data, size_t length) { return output.Write(data, length); };
    if (Pump(reader, record, write) != EntryCheck::Ok ||
        !output.Commit(Replace::Always, AtomicFile::Sync::No))
        return 0;
    // The content is what counts: a file system that keeps no such time still gets the file.
    static_cast<void>(ApplyEntryTime(outPath, static_cast<uint32_t>(record.info.dosDate)));
    return 1;
}

int CUnzipper::ExtractEntryAt(int k, const std::optional<std::string>& folder) {
    return SelectEntry(k) != 0 ? ExtractCurrentEntry(folder) : 0;
}

bool CUnzipper::ReportProgress(uint64_t bytesDone) const {
    try {
        return !m_progress || m_progress(bytesDone);
    } catch (...) {
        return false; // an escaping exception abandons the operation like a refusal
    }
}

} // namespace lumora
