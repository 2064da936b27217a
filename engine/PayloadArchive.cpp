// SPDX-License-Identifier: GPL-2.0-or-later
// The payload archive: building it from the kept entries, the added files and the message,
// reading it back into the slots, and extracting single hidden files.
//
// Kept entries are copied from the opened archive as they are stored (name, flags and
// data byte for byte while the password stays), so a re-save loses nothing it cannot
// show: names with folders, names from other writers, entries past the 100th slot.
#include "engine/PayloadArchive.h"

#include "archive/ArchiveBytes.h"
#include "archive/EntryName.h"
#include "archive/Unzipper.h"
#include "archive/Zipper.h"
#include "engine/BindImage.h"
#include "engine/EntryStatus.h"
#include "engine/MessageEntry.h"
#include "platform/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace lumora {
namespace {

std::string FileNameOf(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

std::string EntryNameOf(const FileSlot& slot) {
    return slot.entryName.empty() ? FileNameOf(slot.name) : slot.entryName;
}

} // namespace

const Password* PayloadArchive::WritePassword() const {
    return m_newPassword != nullptr ? m_newPassword : m_owner.CurrentPassword();
}

int PayloadArchive::FailEntry(EntryCheck check, const std::string& name) {
    // Entries are written to the archive being built, which is the file a failed write names.
    if (check == EntryCheck::WriteFailed)
        return m_owner.FailWrite(m_builtPath, errno != 0 ? errno : EIO);
    Status status = EntryStatus(check, name);
    return status.Ok() ? 1 : m_owner.Fail(std::move(status));
}

// The entries of the opened archive that the next save copies, in their stored order.
std::vector<int> PayloadArchive::KeptEntries() const {
    std::vector<int> kept = m_carried;
    for (const FileSlot& slot : m_owner.m_slots) {
        if (slot.state == SLOT_STORED)
            kept.push_back(slot.entryIndex);
    }
    if (m_keepStoredMessage && m_owner.m_messageEntry >= 0)
        kept.push_back(m_owner.m_messageEntry);
    std::sort(kept.begin(), kept.end());
    kept.erase(std::unique(kept.begin(), kept.end()), kept.end());
    return kept;
}

int PayloadArchive::CopyKeptEntries(CZipper& zipper, CUnzipper& source,
                                    const std::vector<int>& kept, PackProgress& progress) {
    for (int index : kept) {
        ZipEntryInfo info;
        if (!source.EntryInfoAt(index, info))
            return m_owner.Fail(Reason::Damaged);
        zipper.SetProgress(m_owner.Progress(ProgressStep::Packing, progress.total, progress.done));
        EntryCheck copied = zipper.CopyEntryFrom(source, index, m_owner.CurrentPassword());
        if (copied != EntryCheck::Ok)
            return FailEntry(copied, info.name);
        progress.done += info.compressedSize;
        if (index != m_owner.m_messageEntry && !info.isFolder) {
            ++m_builtFileCount;
            m_builtFilesSize += info.uncompressedSize;
        }
    }
    return 1;
}

// The added files and the message, as one batch: the worker pool deflates the next
// entries while the current one is written.
int PayloadArchive::AddNewEntries(CZipper& zipper, const std::string& archivePath,
                                  PackProgress& progress) {
    std::vector<CZipper::NewEntry> entries;
    std::vector<const FileSlot*> slots;
    for (const FileSlot& slot : m_owner.m_slots) {
        if (slot.state != SLOT_ADDED)
            continue;
        std::error_code ec;
        std::string path = std::filesystem::absolute(slot.name, ec).string();
        entries.push_back({EntryNameOf(slot), ec ? slot.name : path});
        slots.push_back(&slot);
    }
    std::string message;
    if (!m_keepStoredMessage && m_owner.m_message && !m_owner.m_message->empty()) {
        if (MessageEntrySize(*m_owner.m_message) > kMaxMessageEntrySize)
            return m_owner.Fail(Status::OverLimit(Reason::MessageTooLarge, kMaxMessageEntrySize));
        message = EncodeMessageEntry(*m_owner.m_message);
        entries.push_back({kMessageEntryName,
                           {},
                           reinterpret_cast<const uint8_t*>(message.data()),
                           message.size()});
    }
    zipper.SetProgress(m_owner.Progress(ProgressStep::Packing, progress.total, progress.done));
    size_t failed = 0;
    errno = 0;
    if (!zipper.AddEntries(entries, &failed)) {
        int error = errno != 0 ? errno : EIO;
        if (m_owner.Cancelled())
            return 0;
        if (failed < slots.size()) {
            const std::string& name = slots[failed]->name;
            if (FILE* probe = OpenRegularFileForReading(name))
                std::fclose(probe);
            else
                return m_owner.FailRead(name, errno);
        }
        return m_owner.FailWrite(archivePath, error);
    }
    for (const FileSlot* slot : slots) {
        progress.done += slot->size;
        ++m_builtFileCount;
        m_builtFilesSize += slot->size;
    }
    return 1;
}

int PayloadArchive::Build() {
    // The archive is built beside the opened one, which stays readable until a save has
    // replaced its carrier: a failed or cancelled save can be tried again.
    if (!m_builtPath.empty())
        ::unlink(m_builtPath.c_str());
    m_builtPath = m_owner.NewTempName();
    m_builtFileCount = m_builtFilesSize = 0;
    // One packing step over the kept entries (their stored bytes) and the added files.
    const std::vector<int> kept = KeptEntries();
    CUnzipper source;
    PackProgress progress;
    if (!kept.empty()) {
        if (!m_owner.OpenPayloadArchive(source))
            return m_owner.Fail(Reason::Damaged);
        source.SetPassword(m_owner.CurrentPassword());
        for (int index : kept) {
            ZipEntryInfo info;
            if (!source.EntryInfoAt(index, info))
                return m_owner.Fail(Reason::Damaged);
            progress.total += info.compressedSize;
        }
    }
    for (const FileSlot& slot : m_owner.m_slots) {
        if (slot.state == SLOT_ADDED)
            progress.total += slot.size;
    }
    CZipper zipper;
    if (!zipper.Open(m_builtPath, std::nullopt, 0))
        return m_owner.FailWrite(m_builtPath, errno);
    zipper.SetPassword(m_plain ? nullptr : WritePassword());
    zipper.SetThreads(m_owner.m_threads);
    m_builtCheckpoints.Clear();
    zipper.RecordCipherCheckpoints(&m_builtCheckpoints);
    bool built = CopyKeptEntries(zipper, source, kept, progress) &&
                 AddNewEntries(zipper, m_builtPath, progress);
    if (built)
        built = m_owner.Report(ProgressStep::Packing, progress.total, progress.total);
    errno = 0;
    if (built && !zipper.Close())
        built = m_owner.FailWrite(m_builtPath, errno != 0 ? errno : EIO);
    if (!built) {
        static_cast<void>(zipper.Close()); // the file goes anyway
        ::unlink(m_builtPath.c_str());
    }
    return built ? 1 : 0;
}

int PayloadArchive::Adopt() {
    if (m_builtPath.empty() ||
        ::rename(m_builtPath.c_str(), m_owner.m_payloadTempPath.c_str()) != 0)
        return 0;
    m_builtPath.clear();
    m_owner.m_payloadInPlace.reset();
    if (m_newPassword != nullptr)
        m_owner.m_password = m_newPassword->Copy();
    m_newPassword = nullptr;
    m_carried.clear();
    m_keepStoredMessage = false;
    // Every slot is read anew from the archive, the added files now among its entries.
    m_owner.ClearAllSlots();
    return m_owner.ReadPayloadArchive();
}

int PayloadArchive::ReadMessage(CUnzipper& unzipper, int index, int64_t size) {
    m_owner.m_messageEntry = index;
    m_owner.m_messageEntrySize = size;
    // Holding it would take as much memory as the entry claims; the files stay readable.
    if (size > kMaxMessageEntrySize) {
        m_owner.m_messageState = MessageState::TooLarge;
        return 1;
    }
    std::string raw;
    EntryCheck read = unzipper.ReadEntryAt(index, [&raw](const uint8_t* data, size_t length) {
        raw.append(reinterpret_cast<const char*>(data), length);
        return true;
    });
    if (read == EntryCheck::Cancelled)
        return m_owner.Fail(Reason::Cancelled);
    if (read != EntryCheck::Ok) {
        m_owner.m_messageState = MessageState::Damaged;
        return 1;
    }
    std::string text = DecodeMessageEntry(raw);
    if (!text.empty()) {
        m_owner.m_message = std::move(text);
        m_owner.m_messageState = MessageState::Present;
    }
    return 1;
}

int PayloadArchive::Read() {
    m_owner.ClearSlots(SLOT_STORED);
    m_owner.m_message.reset();
    m_owner.m_messageState = MessageState::None;
    m_owner.m_messageEntry = -1;
    if (m_owner.m_payloadTempPath.empty())
        return 0;
    CUnzipper unzipper;
    // A directory that lists fewer entries than it claims has lost some: damaged, never
    // a carrier with less in it.
    if (!m_owner.OpenPayloadArchive(unzipper) || !unzipper.DirectoryComplete())
        return m_owner.Fail(Reason::Damaged);
    unzipper.SetPassword(m_owner.CurrentPassword());
    const int count = unzipper.EntryCount();
    for (int i = 0; i < count; ++i) {
        ZipEntryInfo info;
        if (!unzipper.EntryInfoAt(i, info))
            return m_owner.Fail(Reason::Damaged);
        if (info.storedName == kMessageEntryName && m_owner.m_messageEntry < 0) {
            if (!ReadMessage(unzipper, i, info.uncompressedSize))
                return 0;
            continue;
        }
        // Only files that can be written out get a slot; the others, and those past the
        // last slot, are carried over unchanged by a save.
        if (!info.isFolder && IsSafeEntryName(info.name))
            static_cast<void>(
                m_owner.AddFileSlot(info.name, SLOT_STORED, i, info.uncompressedSize));
    }
    return 1;
}

int PayloadArchive::Extract(int k, std::string& dest) {
    if (k < 0 || k >= kSlotCount)
        return 0;
    const FileSlot& slot = m_owner.m_slots[k];
    if (!m_owner.HasValidTrailer() || slot.state != SLOT_STORED || slot.entryIndex < 0)
        return 0;
    CUnzipper unzipper;
    if (!m_owner.OpenPayloadArchive(unzipper))
        return m_owner.Fail(Reason::Damaged);
    unzipper.SetPassword(m_owner.CurrentPassword());
    unzipper.SetThreads(m_owner.m_threads);
    unzipper.SetProgress(m_owner.Progress(ProgressStep::Unpacking, slot.size));
    if (dest.empty()) {
        // A folder per slot keeps entry names apart from the object's own files.
        std::string folder = m_owner.WorkDir() + "/FILES/" + std::to_string(k);
        std::filesystem::create_directories(folder);
        dest = folder + "/" + FileNameOf(slot.name);
    }
    AtomicFile out(dest);
    if (!out.Open())
        return m_owner.FailWrite(dest, errno);
    bool written = true;
    EntryCheck read = unzipper.ReadEntryAt(slot.entryIndex, [&](const uint8_t* data, size_t n) {
        written = std::fwrite(data, 1, n, out.Stream()) == n;
        return written;
    });
    if (!written)
        return m_owner.FailWrite(dest, errno);
    if (read != EntryCheck::Ok)
        return FailEntry(read, slot.name);
    if (!out.Commit(Replace::Always))
        return m_owner.FailWrite(dest, errno);
    return 1;
}

} // namespace lumora
