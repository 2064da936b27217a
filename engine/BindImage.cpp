// SPDX-License-Identifier: GPL-2.0-or-later
// CBindImage: construction, the text fields, the slot table, the trailer, the error and
// progress reporting shared by all operations, and the operations handed to the working
// folder (WorkDirs) and the payload archive (PayloadArchive).
#include "engine/BindImage.h"

#include "archive/ArchiveBytes.h"
#include "archive/Unzipper.h"
#include "engine/StreamFile.h"
#include "engine/TrailerCodec.h"
#include "platform/WorkFolder.h"

#include <algorithm>
#include <cstring>
#include <sys/stat.h>

namespace lumora {
namespace {

// The check plaintext is made of a 6-character and a 10-character piece. It is part of
// the file format: changing it makes every existing password check record fail.
constexpr char kCheckPiece6[] = "Lumora";
constexpr char kCheckPiece10[] = "PwCheck-v1";
static_assert(sizeof kCheckPiece6 - 1 == 6 && sizeof kCheckPiece10 - 1 == 10);

// How often the observer hears of a running step, at least.
constexpr int64_t kReportInterval = 1 << 20;

} // namespace

const std::array<uint8_t, 16>& CBindImage::CheckPlaintext() {
    static const std::array<uint8_t, 16> text = [] {
        std::array<uint8_t, 16> bytes{};
        std::memcpy(bytes.data(), kCheckPiece6, 6);
        std::memcpy(bytes.data() + 6, kCheckPiece10, 10);
        return bytes;
    }();
    return text;
}

CBindImage::CBindImage(const std::optional<std::string>& path) {
    CreateWorkDirs();
    m_payloadTempPath = NewTempName();
    m_imageTempPath = NewTempName();
    ClearAllSlots();
    m_checkPlaintext = CheckPlaintext();
    if (path) {
        m_carrierPath = *path;
        m_carrierFile = OpenRegularFileForReading(*path);
    }
}

CBindImage::~CBindImage() {
    if (m_carrierFile != nullptr)
        std::fclose(m_carrierFile);
}

CBindImage::OperationScope::OperationScope(CBindImage& owner) : m_owner(owner) {
    if (m_owner.m_operationDepth++ == 0) {
        m_owner.m_lastStatus = Status::Success();
        m_owner.m_cancelled = false;
        m_owner.m_reportedStep.reset();
    }
}

int CBindImage::Fail(Status status) {
    if (!m_cancelled)
        m_lastStatus = m_work.Error().empty() ? std::move(status)
                                              : Status::Fail(Reason::NoWorkFolder, m_work.Error());
    return 0;
}

int CBindImage::FailRead(const std::string& path, int error) {
    return Fail(Reason::ReadFailed, path, error);
}

int CBindImage::FailWrite(const std::string& path, int error) {
    return Fail(Status::WriteFailure(path, error));
}

int CBindImage::FailCopy(const CopyResult& copy, const std::string& source,
                         const std::string& target) {
    if (copy.status == CopyStatus::ReadFailed)
        return FailRead(source, copy.error);
    if (copy.status == CopyStatus::WriteFailed)
        return FailWrite(target, copy.error);
    return Fail(Reason::Cancelled);
}

bool CBindImage::Report(ProgressStep step, int64_t done, int64_t total) {
    if (m_observer == nullptr)
        return true;
    // The layers below report every few hundred bytes; the observer hears of each step's
    // start and end and of every further megabyte.
    bool newStep = m_reportedStep != step;
    if (!newStep && done < total && done - m_reportedBytes < kReportInterval)
        return true;
    m_reportedStep = step;
    m_reportedBytes = done;
    if (m_observer->OnProgress(step, done, total))
        return true;
    m_cancelled = true;
    m_lastStatus = Status::Fail(Reason::Cancelled);
    return false;
}

std::function<bool(uint64_t)> CBindImage::Progress(ProgressStep step, int64_t total, int64_t base) {
    if (m_observer == nullptr)
        return {};
    return [this, step, total, base](uint64_t done) {
        return Report(step, std::min(base + static_cast<int64_t>(done), total), total);
    };
}

std::string CBindImage::CreateWorkDirs() {
    return m_work.Create();
}

std::string CBindImage::NewTempName() {
    return m_work.NewTempName();
}

int CBindImage::RemoveFolderTree(const std::string& path) {
    return RemoveTree(path) ? 1 : 0;
}

int CBindImage::BuildPayloadArchive() {
    OperationScope scope(*this);
    return m_archive.Build();
}

int CBindImage::ReadPayloadArchive() {
    OperationScope scope(*this);
    return m_archive.Read();
}

int CBindImage::AdoptBuiltArchive() {
    return m_archive.Adopt();
}

int CBindImage::ExtractHiddenFile(int k, std::string& dest) {
    OperationScope scope(*this);
    return m_archive.Extract(k, dest);
}

int CBindImage::LoadTrailer() {
    m_trailer = CarrierTrailer{};
    m_carrierSize = 0;
    if (m_carrierFile == nullptr)
        return 0;
    TrailerBytes bytes{};
    if (::fseeko(m_carrierFile, -kTrailerSize, SEEK_END) != 0 ||
        std::fread(bytes.data(), 1, bytes.size(), m_carrierFile) != bytes.size())
        return 0;
    if (bytes[58] != 'V' || bytes[59] != 'Z')
        return 0;
    m_trailer = DecodeTrailer(bytes);
    m_carrierSize = StreamSize(m_carrierFile);
    return 1;
}

void CBindImage::CutImagePart(int64_t length) {
    m_trailer.imageLength = static_cast<int32_t>(std::clamp<int64_t>(length, 0, kMaxCarrierSize));
}

int CBindImage::HasValidTrailer() const {
    return TrailerFitsFile(m_trailer, m_carrierSize) ? 1 : 0;
}

void CBindImage::SetPassword(std::optional<Password> password) {
    m_payloadInPlace.reset();
    m_password = std::move(password);
}

bool CBindImage::OpenPayloadArchive(CUnzipper& archive) const {
    if (m_payloadInPlace)
        return archive.OpenChecked(*m_payloadInPlace) == EntryCheck::Ok;
    return archive.Open(m_payloadTempPath) == 1;
}

int CBindImage::SetMessage(const std::string& text) {
    m_message = text;
    return 1;
}

int CBindImage::ClearMessage() {
    m_message.reset();
    return 1;
}

int CBindImage::AddFileSlot(const std::string& name, FileSlotState state, int entryIndex,
                            int64_t size) {
    for (int k = 0; k < kSlotCount; ++k) {
        FileSlot& slot = m_slots[k];
        if (slot.state != SLOT_FREE)
            continue;
        slot.state = state;
        slot.entryIndex = entryIndex;
        slot.size = size;
        struct stat info {};
        if (entryIndex == -1 && size <= 0 && state == SLOT_ADDED && !name.empty() &&
            ::stat(name.c_str(), &info) == 0)
            slot.size = static_cast<int64_t>(info.st_size);
        slot.name = name;
        return k;
    }
    return -1;
}

int CBindImage::ClearSlots(int state) {
    for (FileSlot& slot : m_slots) {
        if (state == -1 || slot.state == state)
            slot = FileSlot{};
    }
    return 1;
}

void CBindImage::DropAllFiles() {
    for (FileSlot& slot : m_slots) {
        if (slot.state == SLOT_STORED || slot.state == SLOT_ADDED)
            slot.state = SLOT_DROPPED;
    }
}

int CBindImage::SetSlotState(int k, FileSlotState state) {
    if (k < 0 || k >= kSlotCount)
        return 0;
    m_slots[k].state = state;
    return 1;
}

int CBindImage::ReplaceContent(std::optional<std::string> message,
                               const std::vector<int>& keptSlots,
                               const std::vector<AddedFile>& addedFiles) {
    ClearMessage();
    if (message && !message->empty())
        SetMessage(*message);
    m_archive.KeepStoredMessage(false);
    m_archive.SetCarriedEntries({});
    DropAllFiles();
    for (int k : keptSlots) {
        // Only a file the carrier listed can be kept; anything else would be lost silently.
        if (k < 0 || k >= kSlotCount || m_slots[k].state != SLOT_DROPPED) {
            Status missing = Status::Fail(Reason::NoSuchEntry);
            missing.count = k;
            return Fail(std::move(missing));
        }
        m_slots[k].state = SLOT_STORED;
    }
    ClearSlots(SLOT_DROPPED);
    for (const AddedFile& file : addedFiles) {
        int k = AddFileSlot(file.path, SLOT_ADDED, -1, 0);
        if (k < 0)
            return Fail(Status::OverLimit(
                Reason::TooManyFiles, kSlotCount,
                static_cast<int64_t>(keptSlots.size() + addedFiles.size()), file.path));
        m_slots[k].entryName = file.entryName;
    }
    return 1;
}

int CBindImage::FirstFileSlot(FileSlot& out) const {
    return NextFileSlot(out, -1);
}

int CBindImage::NextFileSlot(FileSlot& out, int k) const {
    for (int next = k < -1 ? 0 : k + 1; next < kSlotCount; ++next) {
        const FileSlot& slot = m_slots[next];
        if (slot.state == SLOT_STORED || slot.state == SLOT_ADDED) {
            out = slot;
            return next;
        }
    }
    return -1;
}

} // namespace lumora
