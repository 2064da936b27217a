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
#include <utility>

namespace lumora {
namespace {

// The check plaintext is made of a 6-character and a 10-character piece. It is part of
// the file format: changing it makes every existing password check record fail.
constexpr char kCheckPiece6[] = "Lumora";
constexpr char kCheckPiece10[] = "PwCheck-v1";
static_assert(sizeof kCheckPiece6 - 1 == 6 && sizeof kCheckPiece10 - 1 == 10);

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
    if (m_owner.m_operationDepth++ == 0)
        m_owner.m_report.Begin();
}

PayloadWork CBindImage::ArchiveWork() {
    return {m_slots,           m_message,
            CurrentPassword(), m_threads,
            m_expectedMessage, [this](CUnzipper& archive) { return OpenPayloadArchive(archive); }};
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
    return m_archive.Build(ArchiveWork());
}

int CBindImage::BuildPlainPayloadArchive() {
    m_archive.SetPlain(true);
    const int built = BuildPayloadArchive();
    m_archive.SetPlain(false);
    return built;
}

int CBindImage::ReadPayloadArchive() {
    OperationScope scope(*this);
    return m_archive.Read(ArchiveWork());
}

int CBindImage::AdoptBuiltArchive() {
    // A save under a new password leaves the archive enciphered under that one.
    std::optional<Password> adopted;
    if (const Password* newPassword = m_archive.NewPassword())
        adopted = newPassword->Copy();
    if (!m_archive.Adopt(m_payloadTempPath))
        return 0;
    m_payloadInPlace.reset();
    if (adopted)
        m_password = std::move(adopted);
    // Every slot is read anew from the archive, the added files now among its entries.
    ClearAllSlots();
    return ReadPayloadArchive();
}

int CBindImage::ExtractHiddenFile(int k, std::string& dest) {
    OperationScope scope(*this);
    if (k < 0 || k >= kSlotCount || !HasValidTrailer() || m_slots[k].state != SLOT_STORED ||
        m_slots[k].entryIndex < 0)
        return 0;
    return m_archive.Extract(ArchiveWork(), k, dest);
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

TrailerVerdict CBindImage::JudgeTrailer() const {
    return m_carrierFile != nullptr ? lumora::JudgeTrailer(m_trailer, m_carrierSize)
                                    : TrailerVerdict::None;
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
    m_message.text = text;
    return 1;
}

std::optional<std::string> CBindImage::TakeMessage() {
    return std::exchange(m_message.text, std::nullopt);
}

int CBindImage::ClearMessage() {
    m_message.text.reset();
    return 1;
}

int CBindImage::AddFileSlot(const std::string& name, FileSlotState state, int entryIndex,
                            int64_t size) {
    return m_slots.Add(name, state, entryIndex, size);
}

int CBindImage::ClearSlots(int state) {
    m_slots.Clear(state);
    return 1;
}

void CBindImage::DropAllFiles() {
    m_slots.DropAllFiles();
}

int CBindImage::SetSlotState(int k, FileSlotState state) {
    return m_slots.SetState(k, state) ? 1 : 0;
}

int CBindImage::ReplaceContent(std::optional<std::string> message,
                               const std::vector<int>& keptSlots,
                               const std::vector<AddedFile>& addedFiles) {
    ClearMessage();
    // Taken over, not copied: a message may be large.
    if (message && !message->empty())
        m_message.text = std::move(*message);
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
    return m_slots.NextFile(out, k);
}

} // namespace lumora
