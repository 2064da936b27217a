// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/Unzipper.h"
#include "platform/AtomicFile.h"

#include "archive/ArchiveUtil.h"
#include "archive/EntryDataReader.h"

#include <algorithm>
#include <climits>
#include <filesystem>
#include <minizip/unzip.h>

namespace lumora {
namespace {

constexpr size_t kBlockSize = 2048;

unzFile Handle(void* unz) {
    return static_cast<unzFile>(unz);
}

struct CurrentEntry {
    unz_file_info64 info{};
    std::string name; // with "/" as separator
    std::string comment;
};

// Reads the directory record of the current entry, name and comment at full length.
bool ReadCurrentEntry(unzFile unz, CurrentEntry& entry) {
    if (unzGetCurrentFileInfo64(unz, &entry.info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        return false;
    entry.name.assign(entry.info.size_filename, '\0');
    entry.comment.assign(entry.info.size_file_comment, '\0');
    if (unzGetCurrentFileInfo64(unz, &entry.info, entry.name.data(), entry.name.size(), nullptr, 0,
                                entry.comment.data(), entry.comment.size()) != UNZ_OK)
        return false;
    std::replace(entry.name.begin(), entry.name.end(), '\\', '/');
    return true;
}

uint32_t Clamp32(ZPOS64_T value) {
    return value > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(value);
}

} // namespace

CUnzipper::CUnzipper(const std::string& path) {
    if (!path.empty())
        Open(path);
}

CUnzipper::~CUnzipper() {
    Close();
}

int CUnzipper::Open(const std::string& path) {
    Close();
    m_unz = unzOpen64(path.c_str());
    if (m_unz == nullptr)
        return 0;
    // minizip makes the first entry current when it opens an archive.
    m_currentIndex = EntryCount() > 0 ? 0 : -1;
    return 1;
}

void CUnzipper::Close() {
    if (m_unz == nullptr)
        return;
    unzCloseCurrentFile(Handle(m_unz));
    unzClose(Handle(m_unz));
    m_unz = nullptr;
    m_currentIndex = -1;
}

void CUnzipper::SetPassword(const std::optional<std::string>& password) {
    m_password = password;
}

int CUnzipper::SetTargetFolder(const std::string& folder) {
    std::error_code ec;
    auto status = std::filesystem::status(folder, ec);
    if (std::filesystem::exists(status) && !std::filesystem::is_directory(status))
        return 0;
    m_targetFolder = folder;
    return EnsureFolder(folder);
}

int CUnzipper::EntryCount() {
    if (m_unz == nullptr)
        return 0;
    unz_global_info64 global{};
    if (unzGetGlobalInfo64(Handle(m_unz), &global) != UNZ_OK)
        return 0;
    return global.number_entry > INT_MAX ? INT_MAX : static_cast<int>(global.number_entry);
}

int CUnzipper::SelectEntry(int k) {
    if (m_unz == nullptr || k < 0 || k >= EntryCount())
        return 0;
    // Stepping on from the current entry spares a walk from the start for each index of
    // an ascending scan.
    if (m_currentIndex < 0 || m_currentIndex > k) {
        m_currentIndex = -1;
        if (unzGoToFirstFile(Handle(m_unz)) != UNZ_OK)
            return 0;
        m_currentIndex = 0;
    }
    while (m_currentIndex < k) {
        if (unzGoToNextFile(Handle(m_unz)) != UNZ_OK) {
            m_currentIndex = -1;
            return 0;
        }
        ++m_currentIndex;
    }
    return 1;
}

int CUnzipper::ReadEntryInfo(ZipEntryInfo& info) {
    CurrentEntry entry;
    if (m_unz == nullptr || !ReadCurrentEntry(Handle(m_unz), entry))
        return 0;
    info.name = entry.name;
    info.comment = entry.comment;
    info.versionMadeBy = static_cast<int>(entry.info.version);
    info.versionNeeded = static_cast<int>(entry.info.version_needed);
    info.flags = static_cast<int>(entry.info.flag);
    info.method = static_cast<int>(entry.info.compression_method);
    info.dosDateTime = static_cast<uint32_t>(entry.info.dosDate);
    info.crc32 = static_cast<uint32_t>(entry.info.crc);
    info.compressedSize = Clamp32(entry.info.compressed_size);
    info.uncompressedSize = Clamp32(entry.info.uncompressed_size);
    info.internalAttributes = static_cast<int>(entry.info.internal_fa);
    info.externalAttributes = static_cast<uint32_t>(entry.info.external_fa);
    info.isFolder = !entry.name.empty() && entry.name.back() == '/';
    return 1;
}

int CUnzipper::EntryInfoAt(int k, ZipEntryInfo& info) {
    return SelectEntry(k) != 0 ? ReadEntryInfo(info) : 0;
}

int CUnzipper::ExtractCurrentEntry(const std::optional<std::string>& folder) {
    if (m_unz == nullptr)
        return 0;
    const std::string& target = folder ? *folder : m_targetFolder;
    CurrentEntry entry;
    if (EnsureFolder(target) == 0 || !ReadCurrentEntry(Handle(m_unz), entry))
        return 0;
    if (!IsSafeEntryName(entry.name))
        return 0;
    if (entry.name.back() == '/')
        return 1;
    // The password is checked before anything is created for the entry.
    EntryDataReader reader(Handle(m_unz));
    if (!reader.Open(entry.info, m_password))
        return 0;
    std::string outPath = target + (target.back() == '/' ? "" : "/") + entry.name;
    if (EnsureParentFolder(outPath) == 0)
        return 0;
    AtomicFile output(outPath);
    if (!output.Open())
        return 0;
    uint8_t block[kBlockSize];
    uint64_t done = 0;
    uLong crc = crc32(0L, Z_NULL, 0);
    for (;;) {
        long got = reader.Read(block, sizeof block);
        if (got == 0)
            break;
        // Data beyond the size the directory gives is damage or a decompression bomb.
        if (got < 0 || done + static_cast<uint64_t>(got) > entry.info.uncompressed_size)
            return 0;
        done += static_cast<uint64_t>(got);
        crc = crc32(crc, block, static_cast<uInt>(got));
        if (!output.Write(block, static_cast<size_t>(got)) || !ReportProgress(done))
            return 0;
    }
    // A wrong password that passed the check byte, or damaged data, shows up here.
    if (done != entry.info.uncompressed_size || crc != entry.info.crc ||
        !output.Commit(Replace::Always, AtomicFile::Sync::No))
        return 0;
    ApplyEntryTime(outPath, static_cast<uint32_t>(entry.info.dosDate));
    return 1;
}

bool CUnzipper::ReportProgress(uint64_t bytesDone) const {
    try {
        return !m_progress || m_progress(bytesDone);
    } catch (...) {
        return false; // an escaping exception abandons the extraction like a refusal
    }
}

int CUnzipper::ExtractEntryAt(int k, const std::optional<std::string>& folder) {
    return SelectEntry(k) != 0 ? ExtractCurrentEntry(folder) : 0;
}

} // namespace lumora
