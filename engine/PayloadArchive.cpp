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
#include "engine/EntryStatus.h"
#include "engine/MessageEntry.h"
#include "engine/OperationReport.h"
#include "engine/SlotTable.h"
#include "engine/StreamFile.h"
#include "engine/WorkDirs.h"
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

int PayloadArchive::FailEntry(EntryCheck check, const std::string& name) {
    // Entries are written to the archive being built, which is the file a failed write names.
    if (check == EntryCheck::WriteFailed)
        return m_report.FailWrite(m_builtPath, errno != 0 ? errno : EIO);
    Status status = EntryStatus(check, name);
    return status.Ok() ? 1 : m_report.Fail(std::move(status));
}

// The entries of the opened archive that the next save copies, in their stored order.
std::vector<int> PayloadArchive::KeptEntries(const PayloadWork& work) const {
    std::vector<int> kept = m_carried;
    for (const FileSlot& slot : work.table) {
        if (slot.state == SLOT_STORED)
            kept.push_back(slot.entryIndex);
    }
    if (m_keepStoredMessage && work.message.entry >= 0)
        kept.push_back(work.message.entry);
    std::sort(kept.begin(), kept.end());
    kept.erase(std::unique(kept.begin(), kept.end()), kept.end());
    return kept;
}

int PayloadArchive::CopyKeptEntries(const PayloadWork& work, CZipper& zipper, CUnzipper& source,
                                    const std::vector<int>& kept, PackProgress& progress) {
    for (int index : kept) {
        ZipEntryInfo info;
        if (!source.EntryInfoAt(index, info))
            return m_report.Fail(Reason::Damaged);
        zipper.SetProgress(m_report.Progress(ProgressStep::Packing, progress.total, progress.done));
        const bool damaged =
            std::find(m_damagedKept.begin(), m_damagedKept.end(), index) != m_damagedKept.end();
        EntryCheck copied = zipper.CopyEntryFrom(source, index, work.password, damaged);
        if (copied != EntryCheck::Ok)
            return FailEntry(copied, info.name);
        progress.done += info.compressedSize;
        if (index != work.message.entry && !info.isFolder) {
            ++m_builtFileCount;
            m_builtFilesSize += info.uncompressedSize;
        }
    }
    return 1;
}

// The added files and the message, as one batch: the worker pool deflates the next
// entries while the current one is written.
int PayloadArchive::AddNewEntries(const PayloadWork& work, CZipper& zipper,
                                  PackProgress& progress) {
    std::vector<CZipper::NewEntry> entries;
    std::vector<const FileSlot*> slots;
    for (const FileSlot& slot : work.table) {
        if (slot.state != SLOT_ADDED)
            continue;
        std::error_code ec;
        std::string path = std::filesystem::absolute(slot.name, ec).string();
        entries.push_back({EntryNameOf(slot), ec ? slot.name : path});
        slots.push_back(&slot);
    }
    const std::optional<std::string>& text = work.message.text;
    std::optional<MessageEntryBytes> message;
    if (!m_keepStoredMessage && text && !text->empty()) {
        if (MessageEntrySize(*text) > kMaxMessageEntrySize)
            return m_report.Fail(Status::OverLimit(Reason::MessageTooLarge, kMaxMessageEntrySize));
        message.emplace(*text);
        CZipper::NewEntry entry;
        entry.entryName = kMessageEntryName;
        entry.generated = &*message;
        entries.push_back(std::move(entry));
    }
    zipper.SetProgress(m_report.Progress(ProgressStep::Packing, progress.total, progress.done));
    size_t failed = 0;
    errno = 0;
    if (!zipper.AddEntries(entries, &failed)) {
        int error = errno != 0 ? errno : EIO;
        if (m_report.Cancelled())
            return 0;
        if (failed < slots.size()) {
            const std::string& name = slots[failed]->name;
            if (FILE* probe = OpenRegularFileForReading(name))
                std::fclose(probe);
            else
                return m_report.FailRead(name, errno);
        }
        return m_report.FailWrite(m_builtPath, error);
    }
    for (const FileSlot* slot : slots) {
        progress.done += slot->size;
        ++m_builtFileCount;
        m_builtFilesSize += slot->size;
    }
    return 1;
}

int PayloadArchive::Build(const PayloadWork& work) {
    // The archive is built beside the opened one, which stays readable until a save has
    // replaced its carrier: a failed or cancelled save can be tried again.
    if (!m_builtPath.empty())
        ::unlink(m_builtPath.c_str());
    m_builtPath = m_work.NewTempName();
    m_builtFileCount = m_builtFilesSize = 0;
    // One packing step over the kept entries (their stored bytes) and the added files.
    const std::vector<int> kept = KeptEntries(work);
    CUnzipper source;
    PackProgress progress;
    if (!kept.empty()) {
        if (!work.openSource(source))
            return m_report.Fail(Reason::Damaged);
        source.SetPassword(work.password);
        for (int index : kept) {
            ZipEntryInfo info;
            if (!source.EntryInfoAt(index, info))
                return m_report.Fail(Reason::Damaged);
            progress.total += info.compressedSize;
        }
    }
    for (const FileSlot& slot : work.table) {
        if (slot.state == SLOT_ADDED)
            progress.total += slot.size;
    }
    CZipper zipper;
    if (!zipper.Open(m_builtPath, std::nullopt, 0))
        return m_report.FailWrite(m_builtPath, errno);
    zipper.SetPassword(m_plain ? nullptr : WritePassword(work.password));
    zipper.SetThreads(work.threads);
    // The sealed and woven formats keep the files' times; the classic one has no room.
    zipper.SetStoreTimes(m_plain);
    m_builtCheckpoints.Clear();
    zipper.RecordCipherCheckpoints(&m_builtCheckpoints);
    bool built = CopyKeptEntries(work, zipper, source, kept, progress) &&
                 AddNewEntries(work, zipper, progress);
    if (built)
        built = m_report.Report(ProgressStep::Packing, progress.total, progress.total);
    errno = 0;
    if (built && !zipper.Close())
        built = m_report.FailWrite(m_builtPath, errno != 0 ? errno : EIO);
    if (!built) {
        static_cast<void>(zipper.Close()); // the file goes anyway
        ::unlink(m_builtPath.c_str());
    }
    return built ? 1 : 0;
}

int PayloadArchive::Adopt(const std::string& path) {
    if (m_builtPath.empty() || ::rename(m_builtPath.c_str(), path.c_str()) != 0)
        return 0;
    m_builtPath.clear();
    m_newPassword = nullptr;
    m_carried.clear();
    m_damagedKept.clear();
    m_keepStoredMessage = false;
    return 1;
}

int PayloadArchive::ReadMessage(HeldMessage& message, CUnzipper& unzipper, int index, int64_t size,
                                const std::string* expected) {
    message.entry = index;
    message.entrySize = size;
    // Holding it would take as much memory as the entry claims; the files stay readable.
    if (size > kMaxMessageEntrySize) {
        message.state = MessageState::TooLarge;
        return 1;
    }
    // Decoded as it is inflated: the entry's bytes are never held beside the text. Compared
    // with an expected message, the text is not held at all.
    std::string text;
    size_t compared = 0;
    bool differs = false;
    if (expected == nullptr)
        text.reserve(static_cast<size_t>(size));
    MessageEntryReader decoder([&](std::string_view piece) {
        if (expected == nullptr) {
            text.append(piece);
            return;
        }
        // Once past the expected end a piece differs, so `compared` never passes it.
        differs = differs || expected->compare(compared, piece.size(), piece) != 0;
        compared += piece.size();
    });
    EntryCheck read = unzipper.ReadEntryAt(index, [&decoder](const uint8_t* data, size_t length) {
        decoder.Feed({reinterpret_cast<const char*>(data), length});
        return true;
    });
    decoder.Finish();
    if (read == EntryCheck::Cancelled)
        return m_report.Fail(Reason::Cancelled);
    if (read != EntryCheck::Ok) {
        message.state = MessageState::Damaged;
        return 1;
    }
    if (expected != nullptr) {
        if (compared > 0)
            message.state = MessageState::Present;
        message.matchedExpected = !differs && compared == expected->size();
    } else if (!text.empty()) {
        message.text = std::move(text);
        message.state = MessageState::Present;
    }
    return 1;
}

int PayloadArchive::Read(const PayloadWork& work) {
    work.table.Clear(SLOT_STORED);
    work.message = HeldMessage{};
    CUnzipper unzipper;
    // A directory that lists fewer entries than it claims has lost some: damaged, never
    // a carrier with less in it.
    if (!work.openSource(unzipper) || !unzipper.DirectoryComplete())
        return m_report.Fail(Reason::Damaged);
    unzipper.SetPassword(work.password);
    const int count = unzipper.EntryCount();
    for (int i = 0; i < count; ++i) {
        ZipEntryInfo info;
        if (!unzipper.EntryInfoAt(i, info))
            return m_report.Fail(Reason::Damaged);
        // A later message entry replaces an earlier one: the last is the message.
        if (info.storedName == kMessageEntryName) {
            work.message = HeldMessage{};
            if (!ReadMessage(work.message, unzipper, i, info.uncompressedSize,
                             work.expectedMessage))
                return 0;
            continue;
        }
        // Only files that can be written out get a slot; the others, and those past the
        // last slot, are carried over unchanged by a save.
        if (!info.isFolder && IsSafeEntryName(info.name))
            static_cast<void>(work.table.Add(info.name, SLOT_STORED, i, info.uncompressedSize));
    }
    return 1;
}

int PayloadArchive::Extract(const PayloadWork& work, int k, std::string& dest) {
    const FileSlot& slot = work.table[k];
    CUnzipper unzipper;
    if (!work.openSource(unzipper))
        return m_report.Fail(Reason::Damaged);
    unzipper.SetPassword(work.password);
    unzipper.SetThreads(work.threads);
    unzipper.SetProgress(m_report.Progress(ProgressStep::Unpacking, slot.size));
    if (dest.empty()) {
        // A folder per slot keeps entry names apart from the object's own files.
        std::string folder = m_work.Dir() + "/FILES/" + std::to_string(k);
        std::filesystem::create_directories(folder);
        dest = folder + "/" + FileNameOf(slot.name);
    }
    AtomicFile out(dest);
    if (!out.Open())
        return m_report.FailWrite(dest, errno);
    bool written = true;
    EntryCheck read = unzipper.ReadEntryAt(slot.entryIndex, [&](const uint8_t* data, size_t n) {
        written = std::fwrite(data, 1, n, out.Stream()) == n;
        return written;
    });
    if (!written)
        return m_report.FailWrite(dest, errno);
    if (read != EntryCheck::Ok)
        return FailEntry(read, slot.name);
    if (!out.Commit(Replace::Always))
        return m_report.FailWrite(dest, errno);
    return 1;
}

} // namespace lumora
