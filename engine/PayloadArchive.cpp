// SPDX-License-Identifier: GPL-2.0-or-later
// The payload archive: building it from the message and the slots, reading it back, and
// extracting single hidden files.
#include "engine/BindImage.h"

#include "archive/ArchiveUtil.h"
#include "archive/Unzipper.h"
#include "archive/Zipper.h"
#include "engine/EngineErrors.h"
#include "engine/MessageEntry.h"
#include "engine/StreamFile.h"
#include "platform/AtomicFile.h"

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace lumora {
namespace {

std::string FileNameOf(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

int64_t FileSizeOf(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_size) : 0;
}

} // namespace

// Each kept file gets a folder of its own, so two kept files with the same name (hidden
// from different folders) cannot overwrite each other before they are packed again.
std::string CBindImage::KeptFilePath(int k) const {
    return m_dataDir + "/" + std::to_string(k) + "/" + m_slots[k].name;
}

int CBindImage::ExtractKeptFiles(const std::string& archivePath) {
    int64_t total = 0;
    bool anyKept = false;
    for (const FileSlot& slot : m_slots) {
        if (slot.state == SLOT_STORED) {
            anyKept = true;
            total += slot.size;
        }
    }
    if (!anyKept)
        return 1;
    CUnzipper unzipper;
    if (!unzipper.Open(archivePath))
        return Fail(kDamagedPayload);
    unzipper.SetPassword(m_password);
    int64_t done = 0;
    for (int k = 0; k < kSlotCount; ++k) {
        const FileSlot& slot = m_slots[k];
        if (slot.state != SLOT_STORED)
            continue;
        if (slot.entryIndex < 0 || !IsSafeEntryName(slot.name))
            return Fail(kDamagedPayload);
        std::string folder = m_dataDir + "/" + std::to_string(k);
        RemoveFolderTree(folder);
        unzipper.SetProgress(Progress("Unpacking", total, done));
        if (!unzipper.ExtractEntryAt(slot.entryIndex, folder) || !IsRegularFile(KeptFilePath(k)))
            return Fail(kDamagedPayload);
        done += slot.size;
    }
    return 1;
}

int CBindImage::AddEntries(const std::string& archivePath, const std::string& messagePath) {
    CZipper zipper;
    if (!zipper.Open(archivePath, std::nullopt, 0))
        return FailWrite(archivePath, errno);
    zipper.SetPassword(m_password);

    int64_t total = messagePath.empty() ? 0 : FileSizeOf(messagePath);
    for (const FileSlot& slot : m_slots) {
        if (slot.state == SLOT_STORED || slot.state == SLOT_ADDED)
            total += slot.size;
    }
    int64_t done = 0;
    // Every entry is named by its file name alone.
    auto add = [&](const std::string& path, const std::string& name, int64_t size) {
        zipper.SetProgress(Progress("Packing files", total, done));
        errno = 0;
        if (zipper.AddFile(path, true)) {
            done += size;
            return 1;
        }
        int error = errno != 0 ? errno : EIO;
        if (FILE* probe = OpenRegularFileForReading(path))
            std::fclose(probe);
        else
            return FailRead(name, errno);
        return FailWrite(archivePath, error);
    };

    for (int k = 0; k < kSlotCount; ++k) {
        const FileSlot& slot = m_slots[k];
        if (slot.state == SLOT_STORED && !add(KeptFilePath(k), FileNameOf(slot.name), slot.size))
            return 0;
    }
    for (const FileSlot& slot : m_slots) {
        if (slot.state != SLOT_ADDED)
            continue;
        std::error_code ec;
        std::string path = std::filesystem::absolute(slot.name, ec).string();
        if (!add(ec ? slot.name : path, FileNameOf(slot.name), slot.size))
            return 0;
    }
    if (!messagePath.empty() && !add(messagePath, kMessageEntryName, 0))
        return 0;
    if (!zipper.Close())
        return FailWrite(archivePath, errno != 0 ? errno : EIO);
    return 1;
}

int CBindImage::BuildPayloadArchive() {
    OperationScope scope(*this);
    std::string messagePath;
    if (m_message && !m_message->empty()) {
        if (MessageEntrySize(*m_message) > kMaxMessageEntrySize)
            return Fail(kMessageTooLarge);
        messagePath = m_workDir + "/" + kMessageEntryName;
        if (!WriteMessageEntry(messagePath, *m_message))
            return FailWrite(messagePath, errno);
    }
    if (!ExtractKeptFiles(m_payloadTempPath))
        return 0;
    // The new archive replaces the previous one only once it is complete, so a failed
    // build leaves the object able to try again.
    std::string newArchive = NewTempName();
    if (!AddEntries(newArchive, messagePath)) {
        ::unlink(newArchive.c_str());
        return 0;
    }
    if (::rename(newArchive.c_str(), m_payloadTempPath.c_str()) != 0) {
        int error = errno;
        ::unlink(newArchive.c_str());
        return FailWrite(m_payloadTempPath, error);
    }
    // Kept files are now the first entries of the new archive, in slot order.
    int entryIndex = 0;
    for (FileSlot& slot : m_slots) {
        if (slot.state == SLOT_STORED)
            slot.entryIndex = entryIndex++;
    }
    return 1;
}

int CBindImage::ReadPayloadArchive() {
    OperationScope scope(*this);
    ClearSlots(SLOT_STORED);
    if (m_payloadTempPath.empty())
        return 0;
    CUnzipper unzipper;
    if (!unzipper.Open(m_payloadTempPath))
        return Fail(kDamagedPayload);
    unzipper.SetPassword(m_password);
    int count = unzipper.EntryCount();
    if (count == 0)
        return Fail(kDamagedPayload);
    for (int i = 0; i < count; ++i) {
        ZipEntryInfo info;
        if (!unzipper.EntryInfoAt(i, info))
            continue;
        if (info.name == kMessageEntryName) {
            m_message.reset();
            // Reading it would take as much memory as the entry claims.
            if (info.uncompressedSize > kMaxMessageEntrySize) {
                ClearSlots(SLOT_STORED);
                return Fail(kDamagedPayload);
            }
            std::string text;
            if (unzipper.ExtractCurrentEntry(m_workDir) &&
                ReadMessageEntry(m_workDir + "/" + kMessageEntryName, text))
                m_message = std::move(text);
        } else if (!info.isFolder) {
            AddFileSlot(info.name, SLOT_STORED, i, info.uncompressedSize);
        }
    }
    return 1;
}

int CBindImage::ExtractHiddenFile(int k, std::string& dest) {
    OperationScope scope(*this);
    if (k < 0 || k >= kSlotCount)
        return 0;
    const FileSlot& slot = m_slots[k];
    if (!HasValidTrailer() || slot.state != SLOT_STORED || slot.entryIndex < 0)
        return 0;
    if (!IsSafeEntryName(slot.name))
        return Fail(kDamagedPayload);
    CUnzipper unzipper;
    if (!unzipper.Open(m_payloadTempPath))
        return Fail(kDamagedPayload);
    unzipper.SetPassword(m_password);
    unzipper.SetProgress(Progress("Unpacking", slot.size));
    // A folder per slot keeps entry names apart from the object's own files.
    std::string folder = m_workDir + "/FILES/" + std::to_string(k);
    std::string extracted = folder + "/" + slot.name;
    if (!unzipper.ExtractEntryAt(slot.entryIndex, folder) || !IsRegularFile(extracted))
        return Fail(kDamagedPayload);
    if (dest.empty()) {
        dest = extracted;
        return 1;
    }
    if (::rename(extracted.c_str(), dest.c_str()) == 0)
        return 1;
    if (errno != EXDEV)
        return FailWrite(dest, errno);
    // Another file system: copy into a new file beside dest and rename it over dest.
    AtomicFile out(dest);
    StreamFile in;
    if (!in.OpenRead(extracted))
        return FailRead(extracted, errno);
    if (!out.Open())
        return FailWrite(dest, errno);
    CopyResult copy = CopyStream(in.Get(), out.Stream(), -1, Progress("Unpacking", slot.size));
    if (copy.status != CopyStatus::Done)
        return Fail(DescribeCopyFailure(copy, extracted, dest));
    if (!out.Commit(Replace::Always))
        return FailWrite(dest, errno);
    ::unlink(extracted.c_str());
    return 1;
}

} // namespace lumora
