// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/Zipper.h"

#include "archive/ArchiveUtil.h"
#include "archive/EntryDataWriter.h"
#include "archive/EntryName.h"
#include "archive/ZipFormat.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <minizip/zip.h>
#include <sys/stat.h>
#include <vector>

namespace lumora {
namespace {

constexpr size_t kBlockSize = 2048;
constexpr size_t kSourceBufferSize = 256 * 1024;
// minizip writes the name length into a 16-bit field without checking it.
constexpr size_t kMaxNameLength = 0xFFFF;
// "Made by" an NTFS host, zip 2.0: Info-ZIP unzip takes names from FAT hosts for code
// page 437 even with the UTF-8 flag, and on a Unix host attributes 0 would mean mode 000.
constexpr uLong kVersionMadeBy = (11u << 8) | 20u;

using FilePtr = std::unique_ptr<FILE, int (*)(FILE*)>;

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
    if (!path.empty())
        Open(path, rootFolder, append);
}

CZipper::~CZipper() {
    Close();
}

int CZipper::Open(const std::string& path, const std::optional<std::string>& rootFolder,
                  int append) {
    Close();
    m_rootFolder.clear();
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
    return name ? AddDiskFile(ResolveSourcePath(path), *name) : 0;
}

int CZipper::AddFileAs(const std::string& path, const std::string& entryName) {
    if (m_zip == nullptr || !IsAcceptableNewEntryName(entryName))
        return 0;
    return AddDiskFile(ResolveSourcePath(path), entryName);
}

int CZipper::AddBytesAs(const std::string& entryName, const uint8_t* data, size_t length) {
    if (m_zip == nullptr || !IsSafeEntryName(entryName) || (data == nullptr && length > 0))
        return 0;
    auto crc = static_cast<uint32_t>(crc32_z(crc32(0L, Z_NULL, 0), data, length));
    size_t done = 0;
    auto source = [&](uint8_t* out, size_t capacity) {
        size_t n = std::min(capacity, length - done);
        std::copy_n(data + done, n, out);
        done += n;
        return static_cast<long>(n);
    };
    return WriteNewEntry(entryName, length, crc, source);
}

int CZipper::AddDiskFile(const std::string& path, const std::string& entryName) {
    // Only regular files: opening a named pipe would wait for a writer, and reading the
    // archive itself while it grows would never reach its end.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        (info.st_dev == m_archiveDevice && info.st_ino == m_archiveInode))
        return 0;
    uint32_t checkCrc = 0;
    if (m_password != nullptr && FileCrc32(path, checkCrc) != 0)
        return 0;
    FilePtr file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file)
        return 0;
    std::vector<char> sourceBuffer(kSourceBufferSize);
    std::setvbuf(file.get(), sourceBuffer.data(), _IOFBF, sourceBuffer.size());
    auto source = [&](uint8_t* out, size_t capacity) {
        size_t got = std::fread(out, 1, capacity, file.get());
        return got == 0 && std::ferror(file.get()) ? -1L : static_cast<long>(got);
    };
    return WriteNewEntry(entryName, static_cast<uint64_t>(info.st_size), checkCrc, source);
}

int CZipper::WriteNewEntry(const std::string& entryName, uint64_t size, uint32_t checkCrc,
                           const Source& source) {
    if (entryName.size() > kMaxNameLength)
        return 0;
    uLong flags = (m_password != nullptr ? kFlagEncrypted : 0) |
                  (NeedsUtf8Flag(entryName) ? kFlagUtf8Name : 0);
    int zip64 = size >= kZip64Threshold ? 1 : 0;
    // Raw mode: minizip stores the bytes handed to it, so deflate and encryption are done
    // here. No file info gives DOS date and time 0 and attributes 0.
    if (zipOpenNewFileInZip4_64(Handle(m_zip), entryName.c_str(), nullptr, nullptr, 0, nullptr, 0,
                                nullptr, Z_DEFLATED, 9, 1, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY,
                                nullptr, 0, kVersionMadeBy, flags, zip64) != ZIP_OK)
        return 0;

    EntryDataWriter writer(Handle(m_zip), m_password);
    bool ok = writer.Begin(checkCrc);
    uint8_t block[kBlockSize];
    while (ok) {
        long got = source(block, sizeof block);
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        ok = writer.Write(block, static_cast<size_t>(got)) && ReportProgress(writer.Size());
    }
    ok = ok && writer.Finish();
    // The entry is closed even after a failure, so the archive stays readable.
    bool closed = zipCloseFileInZipRaw64(Handle(m_zip), writer.Size(), writer.Crc()) == ZIP_OK;
    // A source that changed after its CRC was taken would carry a wrong check byte.
    bool crcHolds = m_password == nullptr || writer.Crc() == checkCrc;
    return ok && closed && crcHolds ? 1 : 0;
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

    for (const auto& entry : entries) {
        std::string child = folder + "/" + entry.path().filename().string();
        // Linked folders are not walked: a link to a parent would never end.
        if (entry.is_directory(ec) && !entry.is_symlink(ec))
            AddFolder(child, flatten);
        else if (entry.is_regular_file(ec))
            AddFile(child, flatten);
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
