// SPDX-License-Identifier: GPL-2.0-or-later
// Opening carriers (trailer, image part, stored payload) and writing them.
#include "engine/BindImage.h"

#include "archive/ArchiveBytes.h"
#include "crypt/PayloadCrypt.h"
#include "engine/StreamFile.h"
#include "engine/TrailerCodec.h"
#include "platform/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <unistd.h>

namespace lumora {
namespace {

// The payload archive deciphered from the carrier as it is read.
class PayloadInPlace final : public ArchiveBytes {
public:
    explicit PayloadInPlace(std::unique_ptr<PayloadReader> reader) : m_reader(std::move(reader)) {}
    uint64_t Size() const override { return m_reader->Size(); }
    bool ReadAt(uint64_t offset, uint8_t* out, size_t length) const override {
        return m_reader->ReadAt(offset, out, length);
    }

private:
    std::unique_ptr<PayloadReader> m_reader;
};

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
            m_trailer = CarrierTrailer{};
            m_carrierSize = 0;
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
    // A payload that does not unpack (a wrong password, damage) still leaves the carrier
    // open: LastStatus says why, and the message and the slots stay empty.
    if (hasTrailer && !Cancelled())
        static_cast<void>(UnpackPayload());
    return Cancelled() ? 0 : 1;
}

int CBindImage::SplitImagePart() {
    OperationScope scope(*this);
    if (m_carrierFile == nullptr)
        return 0;
    int64_t length = ImagePartLength();
    // Such an image can never become a carrier; copying it first would only waste time.
    if (length >= kMaxCarrierSize) {
        ::unlink(m_imageTempPath.c_str());
        return Fail(
            Status::OverLimit(Reason::PictureTooLarge, kMaxCarrierSize, length, m_carrierPath));
    }
    StreamFile image;
    if (!image.Create(m_imageTempPath))
        return FailWrite(m_imageTempPath, errno);
    CopyResult copy{CopyStatus::ReadFailed, 0, errno};
    if (::fseeko(m_carrierFile, 0, SEEK_SET) == 0)
        copy = CopyStream(m_carrierFile, image.Get(), length,
                          Progress(ProgressStep::CopyingImage, length));
    if (copy.status == CopyStatus::Done && image.Close())
        return 1;
    int error = errno;
    image.Close();
    ::unlink(m_imageTempPath.c_str());
    if (copy.status == CopyStatus::Done)
        return FailWrite(m_imageTempPath, error);
    return FailCopy(copy, m_carrierPath, m_imageTempPath);
}

int CBindImage::UnpackPayload() {
    OperationScope scope(*this);
    ClearAllSlots();
    m_payloadInPlace.reset();
    if (!HoldsClassicData())
        return Fail(Reason::NoData, m_carrierPath);
    if (!m_password)
        return Fail(Reason::NoPassword);
    // Deciphered straight from the carrier; the trailer was checked to lie inside it.
    const int fd = ::fileno(m_carrierFile);
    DecryptResult decrypted = DecryptResult::Failed;
    if (m_readInPlace) {
        std::unique_ptr<PayloadReader> reader;
        decrypted = PayloadReader::Open(fd, m_trailer.imageLength, m_trailer.payloadLength,
                                        *m_password, reader);
        if (decrypted == DecryptResult::Ok) {
            ::unlink(m_payloadTempPath.c_str());
            m_payloadInPlace = std::make_unique<PayloadInPlace>(std::move(reader));
        }
    } else {
        decrypted = DecryptPayloadRange(
            fd, m_trailer.imageLength, m_trailer.payloadLength, m_payloadTempPath.c_str(),
            *m_password, Progress(ProgressStep::Decrypting, m_trailer.payloadLength));
    }
    if (decrypted == DecryptResult::Ok)
        return ReadPayloadArchive();
    ::unlink(m_payloadTempPath.c_str());
    // The signature is made from the key, so it tells a wrong password from damage.
    if (decrypted == DecryptResult::WrongKey)
        return Fail(Reason::WrongPassword);
    if (decrypted == DecryptResult::Cancelled)
        return Fail(Reason::Cancelled);
    return Fail(Reason::Damaged);
}

int CBindImage::CheckFilesToHide() {
    int64_t total = 0;
    for (FileSlot& slot : m_slots) {
        if (slot.state == SLOT_ADDED) {
            // The file is hidden as it is now; its size is taken again for the trailer.
            FILE* probe = OpenRegularFileForReading(slot.name);
            if (probe == nullptr)
                return FailRead(slot.name, errno);
            slot.size = StreamSize(probe);
            std::fclose(probe);
            if (slot.size >= kMaxCarrierSize)
                return Fail(
                    Status::OverLimit(Reason::FileTooLarge, kMaxCarrierSize, slot.size, slot.name));
        }
        if (slot.state == SLOT_STORED || slot.state == SLOT_ADDED)
            total += slot.size;
    }
    if (total >= kMaxCarrierSize)
        return Fail(Status::OverLimit(Reason::FilesTooLarge, kMaxCarrierSize, total));
    if (m_message.text && static_cast<int64_t>(m_message.text->size()) >= kMaxCarrierSize)
        return Fail(Status::OverLimit(Reason::CarrierTooLarge, kMaxCarrierSize));
    return 1;
}

int CBindImage::SaveCarrier(const std::string& dest) {
    OperationScope scope(*this);
    if (dest.empty())
        return Fail(Reason::NoDestination);
    // Only a regular file is replaced; a link is never followed (it could lead anywhere).
    AtomicFile out(dest);
    if (!out.Open())
        return FailWrite(dest, errno);
    if (int refusal = out.Refusal(Replace::Always))
        return refusal == ELOOP ? Fail(Reason::DestinationIsLink, dest, refusal)
                                : FailWrite(dest, refusal);
    m_saveDest = dest;
    bool written = WriteCarrier(out.Stream());
    m_saveDest.clear();
    if (!written)
        return 0;
    if (!out.Commit(Replace::Always))
        return FailWrite(dest, errno);
    RemoveStaleSaveLeftovers(out.Folder(), out.Name());
    m_carrierPath = dest;
    m_carrierSize = int64_t{m_trailer.imageLength} + m_trailer.payloadLength + kTrailerSize;
    return AdoptBuiltArchive();
}

int CBindImage::WriteCarrier(FILE* out) {
    OperationScope scope(*this);
    if (m_archive.WritePassword(CurrentPassword()) == nullptr)
        return Fail(Reason::NoPassword);
    if (!CheckFilesToHide())
        return 0;
    return WriteImagePart(out) && AppendPayload(out) && StoreTrailer(out) ? 1 : 0;
}

int64_t CBindImage::ImagePartLength() const {
    // A trailer cuts the image part at imageLength, so an old payload never becomes part
    // of a new image. A length that cannot be a cut point (0, negative) keeps the file
    // whole, and the part never reaches past the end of the file.
    int64_t length = StreamSize(m_carrierFile);
    if (m_trailer.imageLength > 0)
        length = std::min<int64_t>(m_trailer.imageLength, length);
    return length;
}

FILE* CBindImage::OpenImageSource(StreamFile& split, int64_t& length) {
    if (m_carrierFile != nullptr) {
        length = ImagePartLength();
        return ::fseeko(m_carrierFile, 0, SEEK_SET) == 0 ? m_carrierFile : nullptr;
    }
    if (!split.OpenRead(m_imageTempPath))
        return nullptr;
    length = StreamSize(split.Get());
    return split.Get();
}

int CBindImage::WriteImagePart(FILE* out) {
    OperationScope scope(*this);
    StreamFile split;
    int64_t size = 0;
    FILE* image = OpenImageSource(split, size);
    m_trailer.imageLength = 0;
    if (image == nullptr) {
        int error = errno;
        // Without a carrier the image part is missing because the source could not be read.
        if (m_carrierFile == nullptr && !m_carrierPath.empty() && !split.OpenRead(m_carrierPath))
            return FailRead(m_carrierPath, errno);
        return FailRead(m_carrierFile != nullptr ? m_carrierPath : m_imageTempPath, error);
    }
    if (size >= kMaxCarrierSize)
        return Fail(
            Status::OverLimit(Reason::PictureTooLarge, kMaxCarrierSize, size, m_carrierPath));
    // imageLength 0 means "no cut" to every reader, so a payload behind an empty image
    // could never be read back.
    if (size == 0)
        return Fail(Reason::EmptyPicture, m_carrierPath);
    if (out == nullptr || ::fseeko(out, 0, SEEK_SET) != 0)
        return FailWrite(OutputName(), out == nullptr ? EBADF : errno);
    CopyResult copy = CopyStream(image, out, size, Progress(ProgressStep::CopyingImage, size));
    if (copy.status != CopyStatus::Done)
        return FailCopy(copy, m_carrierFile != nullptr ? m_carrierPath : m_imageTempPath,
                        OutputName());
    m_trailer.imageLength = static_cast<int32_t>(copy.copied);
    return 1;
}

int CBindImage::AppendPayload(FILE* out) {
    OperationScope scope(*this);
    m_trailer.payloadLength = 0;
    if (out == nullptr)
        return FailWrite(OutputName(), EBADF);
    const Password* password = m_archive.WritePassword(CurrentPassword());
    if (password == nullptr)
        return Fail(Reason::NoPassword);
    if (!BuildPayloadArchive())
        return 0;
    StreamFile plain;
    if (!plain.OpenRead(m_archive.BuiltPath()))
        return FailRead(m_archive.BuiltPath(), errno);
    const int64_t plainSize = StreamSize(plain.Get());
    plain.Close();
    const int64_t encryptedSize = EncryptedPayloadSize(plainSize);
    const int64_t carrierSize = int64_t{m_trailer.imageLength} + encryptedSize + kTrailerSize;
    if (carrierSize > kMaxCarrierSize)
        return Fail(Status::OverLimit(Reason::CarrierTooLarge, kMaxCarrierSize, carrierSize));
    // Enciphered straight into the carrier: a failed save leaves no destination behind.
    errno = 0;
    if (!EncryptPayloadInto(m_archive.BuiltPath().c_str(), out, *password,
                            Progress(ProgressStep::Encrypting, plainSize)))
        return FailWrite(OutputName(), errno != 0 ? errno : EIO);
    m_trailer.payloadLength = static_cast<int32_t>(encryptedSize);
    return 1;
}

int CBindImage::StoreTrailer(FILE* out) {
    OperationScope scope(*this);
    if (out == nullptr || m_trailer.payloadLength == 0)
        return 0;
    std::memcpy(m_trailer.magic, "VZ", 2);
    m_trailer.version = kTrailerVersion;
    const std::optional<std::string>& message = m_message.text;
    int64_t messageLength = message ? static_cast<int64_t>(message->size()) : 0;
    // A message carried over unread counts by its entry, less the closing NUL.
    if (m_archive.KeepsStoredMessage() && m_message.entry >= 0 && !message)
        messageLength = std::max<int64_t>(m_message.entrySize - 1, 0);
    m_trailer.messageLength = ClampToInt32(messageLength);
    m_trailer.fileCount = ClampToInt32(m_archive.BuiltFileCount());
    m_trailer.filesTotalSize = ClampToInt32(m_archive.BuiltFilesSize());

    std::memset(m_trailer.checkRecord, 0, sizeof m_trailer.checkRecord);
    const Password* password = m_archive.WritePassword(CurrentPassword());
    if (password != nullptr && !password->Empty()) {
        std::array<uint8_t, 16> plain = m_checkPlaintext;
        if (!EncryptCheckRecord(plain.data(), m_trailer.checkRecord, *password,
                                static_cast<int>(plain.size()))) {
            std::memset(m_trailer.checkRecord, 0, sizeof m_trailer.checkRecord);
            return FailWrite(OutputName(), EIO);
        }
    }
    TrailerBytes bytes = EncodeTrailer(m_trailer);
    int64_t offset = int64_t{m_trailer.imageLength} + m_trailer.payloadLength;
    if (::fseeko(out, offset, SEEK_SET) != 0 ||
        std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size())
        return FailWrite(OutputName(), errno);
    return 1;
}

int CBindImage::VerifyPassword(const Password& text) const {
    const uint8_t* record = m_trailer.checkRecord;
    if (std::all_of(record, record + 16, [](uint8_t b) { return b == 0; }))
        return 1;
    std::array<uint8_t, 16> plain{};
    if (!DecryptCheckRecord(record, plain.data(), text, 16))
        return 0;
    return plain == m_checkPlaintext ? 1 : 0;
}

} // namespace lumora
