// SPDX-License-Identifier: GPL-2.0-or-later
// Writing sealed carriers: the image part as for classic ones, then the payload archive,
// built without PKWARE encryption, sealed by crypt/SealedFormat. There is no trailer.
#include "engine/BindImage.h"

#include "crypt/SealedFormat.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumora {

int CBindImage::WriteSealedCarrier(FILE* out, const SealedKey& key) {
    OperationScope scope(*this);
    if (key.Empty())
        return Fail(Reason::NoPassword);
    if (!CheckFilesToHide() || !WriteImagePart(out))
        return 0;
    if (!BuildPlainPayloadArchive())
        return 0;
    if (std::fflush(out) != 0)
        return FailWrite(OutputName(), errno);
    const int archive = ::open(m_archive.BuiltPath().c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (archive < 0 || ::fstat(archive, &info) != 0) {
        const int error = errno;
        if (archive >= 0)
            ::close(archive);
        return FailRead(m_archive.BuiltPath(), error);
    }
    errno = 0;
    const SealedOutcome sealed = SealPayload(archive, ::fileno(out), m_trailer.imageLength, key,
                                             Progress(ProgressStep::Encrypting, info.st_size));
    const int error = errno != 0 ? errno : EIO;
    ::close(archive);
    switch (sealed) {
    case SealedOutcome::Ok:
        return 1;
    case SealedOutcome::TooLarge:
        return Fail(Status::OverLimit(Reason::CarrierTooLarge, kMaxCarrierSize));
    case SealedOutcome::Cancelled:
        return Fail(Reason::Cancelled);
    case SealedOutcome::ReadFailed:
        return FailRead(m_archive.BuiltPath(), error);
    case SealedOutcome::NoMemory:
        return Fail(Reason::NoMemory);
    default:
        return FailWrite(OutputName(), error);
    }
}

} // namespace lumora
