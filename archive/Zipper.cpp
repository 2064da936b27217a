// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/Zipper.h"

#include "archive/BlockDeflate.h"
#include "archive/CipherCheckpoints.h"
#include "archive/EntryName.h"
#include "archive/ExtraFields.h"
#include "archive/PkwareCipher.h"
#include "archive/ZipFormat.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <minizip/zip.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace lumora {
namespace {

// minizip writes the name length into a 16-bit field without checking it.
constexpr size_t kMaxNameLength = 0xFFFF;
// "Made by" an NTFS host, zip 2.0: Info-ZIP unzip takes names from FAT hosts for code
// page 437 even with the UTF-8 flag, and on a Unix host attributes 0 would mean mode 000.
constexpr uLong kVersionMadeBy = (11u << 8) | 20u;

zipFile Handle(void* zip) {
    return static_cast<zipFile>(zip);
}

std::string FolderPartOf(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace

CZipper::CZipper(const std::string& path, const std::optional<std::string>& rootFolder,
                 int append) {
    // A constructor cannot tell the caller: one that failed leaves every Add refused.
    if (!path.empty())
        static_cast<void>(Open(path, rootFolder, append));
}

CZipper::~CZipper() {
    // Callers that keep the archive call Close themselves and check it; this one only
    // frees an archive that is given up.
    static_cast<void>(Close());
}

int CZipper::Open(const std::string& path, const std::optional<std::string>& rootFolder,
                  int append) {
    // An archive still open here is given up for the new one.
    static_cast<void>(Close());
    m_rootFolder.clear();
    m_entryCount = 0;
    m_zip = zipOpen64(path.c_str(), append != 0 ? APPEND_STATUS_CREATEAFTER : APPEND_STATUS_CREATE);
    if (m_zip == nullptr)
        return 0;
    struct stat archive {};
    bool known = ::stat(path.c_str(), &archive) == 0;
    m_archiveDevice = known ? archive.st_dev : 0;
    m_archiveInode = known ? archive.st_ino : 0;
    if (!rootFolder)
        m_rootFolder = FolderPartOf(path);
    else if (!rootFolder->empty())
        m_rootFolder = rootFolder->back() == '/' ? *rootFolder : *rootFolder + "/";
    return 1;
}

std::string CZipper::ResolveSourcePath(const std::string& path) const {
    if (!path.empty() && path.front() == '/')
        return path;
    return m_rootFolder + path;
}

int CZipper::AddFile(const std::string& path, bool flatten) {
    if (m_zip == nullptr)
        return 0;
    std::optional<std::string> name = EntryNameForSource(path, flatten);
    return name ? AddOne({*name, ResolveSourcePath(path)}) : 0;
}

int CZipper::AddFileAs(const std::string& path, const std::string& entryName) {
    if (m_zip == nullptr || !IsAcceptableNewEntryName(entryName))
        return 0;
    return AddOne({entryName, ResolveSourcePath(path)});
}

int CZipper::AddBytesAs(const std::string& entryName, const uint8_t* data, size_t length) {
    if (m_zip == nullptr || (data == nullptr && length > 0))
        return 0;
    return AddOne({entryName, {}, data, length});
}

// Writes the deflated blocks of the entries into minizip's raw entries, enciphered behind
// an encryption header whose check byte comes from the CRC pass.
class CZipper::EntrySink : public DeflateSink {
public:
    EntrySink(CZipper& zipper, const std::vector<NewEntry>& entries)
        : m_zipper(zipper), m_entries(entries) {}
    ~EntrySink() override {
        // An entry left open by a failure is closed, so the archive stays readable.
        if (m_open)
            zipCloseFileInZipRaw64(Handle(m_zipper.m_zip), 0, 0);
    }

    bool BeginEntry(size_t entry, uint32_t crc) override {
        const std::string& name = m_entries[entry].entryName;
        const uint64_t size = m_sizes[entry];
        const Password* password = m_zipper.m_password;
        uLong flags =
            (password != nullptr ? kFlagEncrypted : 0) | (NeedsUtf8Flag(name) ? kFlagUtf8Name : 0);
        int zip64 = size >= kZip64Threshold ? 1 : 0;
        // Raw mode: minizip stores the bytes handed to it, so deflate and encryption are
        // done here. No file info gives DOS date and time 0 and attributes 0.
        const std::vector<uint8_t>& extra = m_extras[entry];
        const uint8_t* extraBytes = extra.empty() ? nullptr : extra.data();
        const auto extraSize = static_cast<uInt>(extra.size());
        if (zipOpenNewFileInZip4_64(Handle(m_zipper.m_zip), name.c_str(), nullptr, extraBytes,
                                    extraSize, extraBytes, extraSize, nullptr, Z_DEFLATED, 9, 1,
                                    -MAX_WBITS, 8, Z_DEFAULT_STRATEGY, nullptr, 0, kVersionMadeBy,
                                    flags, zip64) != ZIP_OK)
            return false;
        m_open = true;
        m_index = m_zipper.m_entryCount++;
        m_sinceCheckpoint = 0;
        m_cipher.reset();
        if (password == nullptr)
            return true;
        m_cipher.emplace(*password);
        uint8_t header[PkwareCipher::kHeaderSize];
        return m_cipher->MakeHeader(static_cast<uint8_t>(crc >> 24), header) &&
               zipWriteInFileInZip(Handle(m_zipper.m_zip), header, sizeof header) == ZIP_OK;
    }

    bool WriteDeflated(uint8_t* data, size_t length) override {
        if (m_cipher)
            Encipher(data, length);
        return zipWriteInFileInZip(Handle(m_zipper.m_zip), data, static_cast<unsigned>(length)) ==
               ZIP_OK;
    }

    bool EndEntry(size_t, uint64_t size, uint32_t crc) override {
        m_open = false;
        return zipCloseFileInZipRaw64(Handle(m_zipper.m_zip), size, crc) == ZIP_OK;
    }

    bool Progress(uint64_t done) override { return m_zipper.ReportProgress(done); }

    std::vector<uint64_t> m_sizes;
    std::vector<std::vector<uint8_t>> m_extras; // each entry's extra field

private:
    void Encipher(uint8_t* data, size_t length) {
        CipherCheckpoints* checkpoints = m_zipper.m_checkpoints;
        if (checkpoints == nullptr) {
            m_cipher->Encrypt(data, length);
            return;
        }
        while (length > 0) {
            const size_t piece = std::min(length, kCheckpointSpacing - m_sinceCheckpoint);
            m_cipher->Encrypt(data, piece);
            data += piece;
            length -= piece;
            m_sinceCheckpoint += piece;
            if (m_sinceCheckpoint == kCheckpointSpacing) {
                checkpoints->Add(m_index, m_cipher->Keys());
                m_sinceCheckpoint = 0;
            }
        }
    }

    CZipper& m_zipper;
    const std::vector<NewEntry>& m_entries;
    std::optional<PkwareCipher> m_cipher;
    bool m_open = false;
    size_t m_index = 0;           // of the current entry in the archive
    size_t m_sinceCheckpoint = 0; // stored bytes since the last checkpoint
};

int CZipper::OpenSourceFile(const std::string& path, uint64_t& size, int64_t& modifiedTime) const {
    // Only regular files: a named pipe would wait for a writer (it is opened without
    // waiting, then refused), and reading the archive itself while it grows would never end.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        (info.st_dev == m_archiveDevice && info.st_ino == m_archiveInode)) {
        int error = errno;
        ::close(fd);
        errno = S_ISDIR(info.st_mode) ? EISDIR : error != 0 ? error : EINVAL;
        return -1;
    }
    size = static_cast<uint64_t>(info.st_size);
    modifiedTime = static_cast<int64_t>(info.st_mtim.tv_sec);
    return fd;
}

int CZipper::AddEntries(const std::vector<NewEntry>& entries, size_t* failedEntry) {
    if (m_zip == nullptr)
        return 0;
    EntrySink sink(*this, entries);
    std::vector<std::unique_ptr<EntrySource>> sources;
    std::vector<const EntrySource*> order;
    for (size_t i = 0; i < entries.size(); ++i) {
        const NewEntry& entry = entries[i];
        if (failedEntry != nullptr)
            *failedEntry = i;
        errno = 0;
        // minizip writes the name length into a 16-bit field without checking it.
        if (!IsSafeEntryName(entry.entryName) || entry.entryName.size() > kMaxNameLength ||
            (entry.path.empty() && entry.generated == nullptr && entry.data == nullptr &&
             entry.size > 0))
            return 0;
        uint64_t size = entry.size;
        int64_t modifiedTime = -1;
        if (entry.path.empty() && entry.generated != nullptr) {
            size = entry.generated->Size();
            sources.push_back(std::make_unique<EntrySource>(*entry.generated));
        } else if (entry.path.empty()) {
            sources.push_back(std::make_unique<EntrySource>(entry.data, entry.size));
        } else {
            const int fd = OpenSourceFile(entry.path, size, modifiedTime);
            if (fd < 0)
                return 0;
            sources.push_back(std::make_unique<EntrySource>(fd, size));
        }
        sink.m_sizes.push_back(size);
        sink.m_extras.push_back(m_storeTimes ? ExtendedTimestampBlock(modifiedTime)
                                             : std::vector<uint8_t>());
        order.push_back(sources.back().get());
    }
    const DeflateResult result = DeflateEntries(order, sink, m_threads);
    if (result.Ok())
        return 1;
    if (failedEntry != nullptr)
        *failedEntry = result.entry;
    errno = result.error;
    return 0;
}

int CZipper::AddFolder(const std::string& path, bool flatten) {
    if (m_zip == nullptr)
        return 0;
    std::error_code ec;
    std::string folder = std::filesystem::absolute(ResolveSourcePath(path), ec).string();
    if (ec)
        return 1;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();

    std::vector<std::filesystem::directory_entry> entries;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec))
        entries.push_back(*it);
    // A stable order gives the same archive from the same folder.
    std::sort(entries.begin(), entries.end());

    // A file that cannot be added is skipped and the rest of the folder still goes in.
    for (const auto& entry : entries) {
        std::string child = folder + "/" + entry.path().filename().string();
        // Linked folders are not walked: a link to a parent would never end.
        if (entry.is_directory(ec) && !entry.is_symlink(ec))
            static_cast<void>(AddFolder(child, flatten));
        else if (entry.is_regular_file(ec))
            static_cast<void>(AddFile(child, flatten));
    }
    return 1;
}

bool CZipper::ReportProgress(uint64_t bytesDone) const {
    try {
        return !m_progress || m_progress(bytesDone);
    } catch (...) {
        return false; // an escaping exception abandons the entry like a refusal
    }
}

int CZipper::Close() {
    if (m_zip == nullptr)
        return 1;
    int result = zipClose(Handle(m_zip), nullptr);
    m_zip = nullptr;
    return result == ZIP_OK ? 1 : 0;
}

} // namespace lumora
