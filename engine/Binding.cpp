// SPDX-License-Identifier: GPL-2.0-or-later
// Opening carriers (trailer, image part, stored payload) and writing them.
#include "engine/BindImage.h"

#include "crypt/PayloadCrypt.h"
#include "engine/EngineErrors.h"
#include "engine/StreamFile.h"
#include "engine/TrailerCodec.h"
#include "platform/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>
#include <unistd.h>

namespace lumora {
namespace {

constexpr int kSignatureSize = 32;

std::string FileNameOf(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

int32_t ClampToInt32(int64_t value) {
    return static_cast<int32_t>(std::min<int64_t>(value, std::numeric_limits<int32_t>::max()));
}

} // namespace

int CBindImage::OpenCarrier(const std::optional<std::string>& path, int mode) {
    OperationScope scope(*this);
    if (m_carrierFile != nullptr)
        std::fclose(m_carrierFile);
    m_carrierFile = nullptr;
    m_carrierPath.clear();
    if (path) {
        m_carrierPath = *path;
        m_carrierFile = OpenRegularFileForReading(*path);
        if (m_carrierFile == nullptr) {
            int error = errno;
            LoadTrailer();
            ::unlink(m_imageTempPath.c_str());
            return FailRead(*path, error);
        }
    }
    int hasTrailer = LoadTrailer();
    if (mode == OPEN_INSPECT)
        return hasTrailer;
    int split = SplitImagePart();
    if (mode == OPEN_SPLIT)
        return hasTrailer && split ? 1 : 0;
    if (hasTrailer && !Cancelled())
        UnpackPayload();
    return Cancelled() ? 0 : 1;
}

int CBindImage::SplitImagePart() {
    OperationScope scope(*this);
    if (m_carrierFile == nullptr)
        return 0;
    StreamFile image;
    if (!image.Create(m_imageTempPath))
        return FailWrite(m_imageTempPath, errno);
    // A trailer cuts the image part at imageLength, so an old payload never becomes part
    // of a new image. A length that cannot be a cut point (0, negative) keeps the file
    // whole, and copying never goes past the end of the file.
    int64_t fileSize = StreamSize(m_carrierFile);
    int64_t length = fileSize;
    if (m_trailer.imageLength > 0)
        length = std::min<int64_t>(m_trailer.imageLength, fileSize);
    CopyResult copy{CopyStatus::ReadFailed, 0, errno};
    if (::fseeko(m_carrierFile, 0, SEEK_SET) == 0)
        copy = CopyStream(m_carrierFile, image.Get(), length, Progress("Copying image", length));
    if (copy.status == CopyStatus::Done && image.Close())
        return 1;
    int error = errno;
    image.Close();
    ::unlink(m_imageTempPath.c_str());
    if (copy.status == CopyStatus::Done)
        return FailWrite(m_imageTempPath, error);
    return Fail(DescribeCopyFailure(copy, m_carrierPath, m_imageTempPath));
}

int CBindImage::CopyStoredPayload(const std::string& encryptedPath) {
    StreamFile out;
    if (!out.Create(encryptedPath))
        return FailWrite(encryptedPath, errno);
    int64_t length = m_trailer.payloadLength;
    if (::fseeko(m_carrierFile, m_trailer.imageLength, SEEK_SET) != 0)
        return FailRead(m_carrierPath, errno);
    CopyResult copy =
        CopyStream(m_carrierFile, out.Get(), length, Progress("Decrypting", 2 * length));
    if (copy.status != CopyStatus::Done)
        return Fail(DescribeCopyFailure(copy, m_carrierPath, encryptedPath));
    if (copy.copied != length)
        return Fail(kDamagedPayload);
    if (!out.Close())
        return FailWrite(encryptedPath, errno);
    return 1;
}

int CBindImage::UnpackPayload() {
    OperationScope scope(*this);
    ClearSlots(-1);
    if (m_carrierFile == nullptr || !HasValidTrailer() || m_trailer.payloadLength == 0 ||
        m_trailer.imageLength == 0)
        return Fail(kDamagedPayload);
    if (!m_password)
        return Fail(kNoPassword);
    // The encrypted copy is only needed until it is deciphered.
    std::string encryptedPath = NewTempName();
    int copied = CopyStoredPayload(encryptedPath);
    bool decrypted =
        copied && DecryptPayloadFile(
                      encryptedPath.c_str(), m_payloadTempPath.c_str(), m_password->c_str(),
                      Progress("Decrypting", 2 * m_trailer.payloadLength, m_trailer.payloadLength));
    ::unlink(encryptedPath.c_str());
    if (!decrypted) {
        ::unlink(m_payloadTempPath.c_str());
        return copied ? Fail(kDamagedPayload) : 0;
    }
    return ReadPayloadArchive();
}

int CBindImage::CheckFilesToHide() {
    int64_t total = 0;
    for (FileSlot& slot : m_slots) {
        if (slot.state == SLOT_ADDED) {
            // The file is hidden as it is now; its size is taken again for the trailer.
            FILE* probe = OpenRegularFileForReading(slot.name);
            if (probe == nullptr)
                return FailRead(FileNameOf(slot.name), errno);
            slot.size = StreamSize(probe);
            std::fclose(probe);
            if (slot.size >= kMaxCarrierSize)
                return Fail(FileNameOf(slot.name) + " is too large to be hidden");
        }
        if (slot.state == SLOT_STORED || slot.state == SLOT_ADDED)
            total += slot.size;
    }
    if (total >= kMaxCarrierSize)
        return Fail(kFilesTooLarge);
    if (m_message && static_cast<int64_t>(m_message->size()) >= kMaxCarrierSize)
        return Fail(kCarrierTooLarge);
    return 1;
}

int CBindImage::SaveCarrier(const std::string& dest) {
    OperationScope scope(*this);
    if (dest.empty())
        return Fail("no destination given");
    if (!m_password)
        return Fail(kNoPassword);
    if (!CheckFilesToHide())
        return 0;
    // Only a regular file is replaced; a link is never followed (it could lead anywhere).
    AtomicFile out(dest);
    if (!out.Open())
        return FailWrite(dest, errno);
    if (int refusal = out.Refusal(Replace::Always))
        return refusal == ELOOP ? Fail("refusing to write through the symbolic link " + dest)
                                : FailWrite(dest, refusal);
    m_saveDest = dest;
    bool written =
        WriteImagePart(out.Stream()) && AppendPayload(out.Stream()) && StoreTrailer(out.Stream());
    m_saveDest.clear();
    if (!written)
        return 0;
    if (!out.Commit(Replace::Always))
        return FailWrite(dest, errno);
    RemoveStaleSaveLeftovers(out.Folder(), out.Name());
    m_carrierPath = dest;
    m_carrierSize = int64_t{m_trailer.imageLength} + m_trailer.payloadLength + kTrailerSize;
    return 1;
}

int CBindImage::WriteImagePart(FILE* out) {
    OperationScope scope(*this);
    m_trailer.imageLength = 0;
    StreamFile image;
    if (!image.OpenRead(m_imageTempPath)) {
        int error = errno;
        // Without a carrier the image part is missing because the source could not be read.
        if (m_carrierFile == nullptr && !m_carrierPath.empty() && !image.OpenRead(m_carrierPath))
            return FailRead(m_carrierPath, errno);
        return FailRead("the image part", error);
    }
    int64_t size = StreamSize(image.Get());
    if (size >= kMaxCarrierSize)
        return Fail(kCarrierTooLarge);
    // imageLength 0 means "no cut" to every reader, so a payload behind an empty image
    // could never be read back.
    if (size == 0)
        return Fail("the image is empty");
    if (out == nullptr || ::fseeko(out, 0, SEEK_SET) != 0)
        return FailWrite(OutputName(), out == nullptr ? EBADF : errno);
    CopyResult copy = CopyStream(image.Get(), out, size, Progress("Copying image", size));
    if (copy.status != CopyStatus::Done)
        return Fail(DescribeCopyFailure(copy, "the image part", OutputName()));
    m_trailer.imageLength = static_cast<int32_t>(copy.copied);
    return 1;
}

int CBindImage::AppendPayload(FILE* out) {
    OperationScope scope(*this);
    m_trailer.payloadLength = 0;
    if (out == nullptr)
        return FailWrite(OutputName(), EBADF);
    if (!m_password)
        return Fail(kNoPassword);
    if (!BuildPayloadArchive())
        return 0;
    StreamFile plain;
    if (!plain.OpenRead(m_payloadTempPath))
        return FailRead(m_payloadTempPath, errno);
    int64_t plainSize = StreamSize(plain.Get());
    plain.Close();
    // Encrypting adds the signature and up to 15 bytes of padding.
    int64_t lowestCarrierSize =
        int64_t{m_trailer.imageLength} + kSignatureSize + plainSize + kTrailerSize;
    if (lowestCarrierSize > kMaxCarrierSize)
        return Fail(kCarrierTooLarge);

    std::string encryptedPath = NewTempName();
    int64_t stepTotal = 2 * plainSize + kSignatureSize;
    errno = 0;
    bool encrypted = EncryptPayloadFile(m_payloadTempPath.c_str(), encryptedPath.c_str(),
                                        m_password->c_str(), Progress("Encrypting", stepTotal));
    int error = errno != 0 ? errno : EIO;
    StreamFile in;
    int result = 0;
    if (!encrypted)
        result = FailWrite(encryptedPath, error);
    else if (!in.OpenRead(encryptedPath))
        result = FailRead(encryptedPath, errno);
    else if (int64_t{m_trailer.imageLength} + StreamSize(in.Get()) + kTrailerSize > kMaxCarrierSize)
        result = Fail(kCarrierTooLarge);
    else {
        CopyResult copy =
            CopyStream(in.Get(), out, -1, Progress("Encrypting", stepTotal, plainSize));
        if (copy.status != CopyStatus::Done)
            result = Fail(DescribeCopyFailure(copy, encryptedPath, OutputName()));
        else {
            m_trailer.payloadLength = static_cast<int32_t>(copy.copied);
            result = 1;
        }
    }
    in.Close();
    ::unlink(encryptedPath.c_str());
    return result;
}

int CBindImage::StoreTrailer(FILE* out) {
    OperationScope scope(*this);
    if (out == nullptr || m_trailer.payloadLength == 0)
        return 0;
    std::memcpy(m_trailer.magic, "VZ", 2);
    m_trailer.version = kTrailerVersion;
    m_trailer.messageLength = m_message ? ClampToInt32(static_cast<int64_t>(m_message->size())) : 0;
    int64_t count = 0;
    int64_t total = 0;
    for (const FileSlot& slot : m_slots) {
        if (slot.state == SLOT_STORED || slot.state == SLOT_ADDED) {
            ++count;
            total += slot.size;
        }
    }
    m_trailer.fileCount = static_cast<int32_t>(count);
    m_trailer.filesTotalSize = ClampToInt32(total);

    std::memset(m_trailer.checkRecord, 0, sizeof m_trailer.checkRecord);
    if (m_password && !m_password->empty()) {
        std::array<uint8_t, 16> plain = m_checkPlaintext;
        if (!EncryptCheckRecord(plain.data(), m_trailer.checkRecord, m_password->c_str(),
                                static_cast<int>(plain.size()))) {
            std::memset(m_trailer.checkRecord, 0, sizeof m_trailer.checkRecord);
            return Fail("cannot make the password check record");
        }
    }
    TrailerBytes bytes = EncodeTrailer(m_trailer);
    int64_t offset = int64_t{m_trailer.imageLength} + m_trailer.payloadLength;
    if (::fseeko(out, offset, SEEK_SET) != 0 ||
        std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size())
        return FailWrite(OutputName(), errno);
    return 1;
}

int CBindImage::VerifyPassword(const std::optional<std::string>& text) const {
    if (!text)
        return 0;
    const uint8_t* record = m_trailer.checkRecord;
    if (std::all_of(record, record + 16, [](uint8_t b) { return b == 0; }))
        return 1;
    std::array<uint8_t, 16> plain{};
    DecryptCheckRecord(record, plain.data(), text->c_str(), 16);
    return plain == m_checkPlaintext ? 1 : 0;
}

} // namespace lumora
