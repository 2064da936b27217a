// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/SealedCarrier.h"

#include "engine/BindImage.h"
#include "engine/ClassicData.h"
#include "engine/StreamFile.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace lumora {
namespace {

// Status of a sealed operation on the file at path (empty: the open carrier).
Status StatusOf(SealedOutcome outcome, const std::string& path) {
    switch (outcome) {
    case SealedOutcome::Ok:
        return Status::Success();
    case SealedOutcome::NotOpened:
        return Status::Fail(Reason::SealedNotOpened, path);
    case SealedOutcome::NoMemory:
        return Status::Fail(Reason::NoMemoryForKey);
    case SealedOutcome::Damaged:
        return Status::Fail(Reason::Damaged);
    case SealedOutcome::Cancelled:
        return Status::Fail(Reason::Cancelled);
    case SealedOutcome::ReadFailed:
        return Status::Fail(Reason::ReadFailed, path, EIO);
    case SealedOutcome::WriteFailed:
        return Status::WriteFailure(path, EIO);
    case SealedOutcome::TooLarge:
        return Status::OverLimit(Reason::CarrierTooLarge, kMaxCarrierSize);
    }
    return Status::Fail(Reason::Damaged);
}

} // namespace

bool SealedSizeFits(int64_t size) {
    // An image part is never empty, so the smallest carrier has one image byte.
    return size >= SealedCarrierSize(1, 0) && size < kMaxCarrierSize;
}

Status DeriveSealedSaveKeys(const std::string& picture, const Password& password,
                            SealedSaveKeys& keys, const CancelCheck& cancelled) {
    if (cancelled && cancelled())
        return StatusOf(SealedOutcome::Cancelled, picture);
    SealedKey carrier;
    if (const SealedOutcome made = NewSealedKey(password, carrier); made != SealedOutcome::Ok)
        return StatusOf(made, picture);
    if (cancelled && cancelled())
        return StatusOf(SealedOutcome::Cancelled, picture);
    SealedKey opened;
    FILE* file =
        picture.empty() || ClassicTrailerOf(picture) ? nullptr : OpenRegularFileForReading(picture);
    if (file != nullptr) {
        const int64_t size = StreamSize(file);
        SealedHeader header;
        const SealedOutcome tried =
            SealedSizeFits(size)
                ? OpenSealedTail(::fileno(file), size, password, opened, header, cancelled)
                : SealedOutcome::NotOpened;
        std::fclose(file);
        // Data the password does not open stays in the image part, where it was.
        if (tried == SealedOutcome::NoMemory || tried == SealedOutcome::Cancelled)
            return StatusOf(tried, picture);
        if (tried != SealedOutcome::Ok)
            opened = SealedKey();
    }
    keys.carrier = std::move(carrier);
    keys.picture = std::move(opened);
    return Status::Success();
}

Status DeriveWovenSaveKeys(const Password& password, SealedSaveKeys& keys,
                           const CancelCheck& cancelled) {
    if (cancelled && cancelled())
        return StatusOf(SealedOutcome::Cancelled, {});
    WovenKeys woven;
    if (const SealedOutcome made = NewWovenKeys(password, woven); made != SealedOutcome::Ok)
        return StatusOf(made, {});
    if (cancelled && cancelled())
        return StatusOf(SealedOutcome::Cancelled, {});
    keys.woven = std::move(woven);
    return Status::Success();
}

Status UnsealCarrier(int fd, int64_t size, const Password& password, const SealedKey* key,
                     const std::string& archivePath, SealedHeader& header,
                     const StepReport& report) {
    if (!SealedSizeFits(size))
        return StatusOf(SealedOutcome::NotOpened, {});
    SealedKey derived;
    SealedOutcome opened = SealedOutcome::NotOpened;
    if (key != nullptr) {
        opened = ReadSealedTail(fd, size, *key, header);
    } else {
        opened = OpenSealedTail(fd, size, password, derived, header,
                                [&report] { return !report(ProgressStep::DerivingKey, 0, 0); });
        key = &derived;
    }
    if (opened != SealedOutcome::Ok)
        return StatusOf(opened, {});

    const int64_t total = static_cast<int64_t>(header.ArchiveLength());
    // The derivation cannot be interrupted; a cancel during it ends the work here.
    if (!report(ProgressStep::Decrypting, 0, total))
        return StatusOf(SealedOutcome::Cancelled, {});
    StreamFile archive;
    if (!archive.Create(archivePath))
        return Status::WriteFailure(archivePath, errno);
    int writeError = 0;
    SealedOutcome unsealed = UnsealPayload(
        fd, header, *key,
        [&archive, &writeError](const uint8_t* data, size_t length) {
            if (std::fwrite(data, 1, length, archive.Get()) == length)
                return true;
            writeError = errno;
            return false;
        },
        [&report, total](uint64_t done) {
            return report(ProgressStep::Decrypting, static_cast<int64_t>(done), total);
        });
    if (unsealed == SealedOutcome::Ok && !archive.Close()) {
        unsealed = SealedOutcome::WriteFailed;
        writeError = errno;
    }
    if (unsealed == SealedOutcome::Ok)
        return Status::Success();
    archive.Close();
    ::unlink(archivePath.c_str());
    if (unsealed == SealedOutcome::WriteFailed)
        return Status::WriteFailure(archivePath, writeError);
    return StatusOf(unsealed, {});
}

} // namespace lumora
