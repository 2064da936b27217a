// SPDX-License-Identifier: GPL-2.0-or-later
// Writing woven carriers: the payload archive, built without PKWARE encryption as for sealed
// ones, woven into the picture of the image part. Nothing is appended to the picture.
#include "engine/BindImage.h"

#include "engine/WovenCarrier.h"
#include "engine/WovenStatus.h"
#include "platform/DescriptorIo.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumora {
namespace {

// No picture's coefficients or samples, read whole by the cover readers, carry more.
constexpr uint64_t kMostWovenArchive = kMostCoverBytes / 8;

// The first `size` bytes of a file descriptor: the image part of a carrier.
class ImagePartSource final : public ByteSource {
public:
    ImagePartSource(int fd, uint64_t size) : m_fd(fd), m_size(size) {}
    uint64_t Size() const override { return m_size; }
    bool ReadAt(uint64_t offset, void* data, size_t size) const override {
        if (offset > m_size || size > m_size - offset) {
            errno = 0;
            return false;
        }
        return ReadAllAt(m_fd, data, size, offset);
    }

private:
    int m_fd;
    uint64_t m_size;
};

} // namespace

int CBindImage::WriteWovenCarrier(FILE* out, bool overCapacity, WovenKeys ahead, WovenKeys& made) {
    OperationScope scope(*this);
    const Password* password =
        m_archive.NewPassword() != nullptr ? m_archive.NewPassword() : CurrentPassword();
    if (password == nullptr)
        return Fail(Reason::NoPassword);
    StreamFile split;
    int64_t imageLength = 0;
    FILE* image = OpenImageSource(split, imageLength);
    if (image == nullptr)
        return FailRead(m_carrierFile != nullptr ? m_carrierPath : m_imageTempPath, errno);
    if (imageLength <= 0)
        return Fail(Reason::EmptyPicture, m_carrierPath);
    if (!CheckFilesToHide())
        return 0;
    if (!BuildPlainPayloadArchive())
        return 0;

    const int archive = ::open(m_archive.BuiltPath().c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (archive < 0 || ::fstat(archive, &info) != 0) {
        const int error = errno;
        if (archive >= 0)
            ::close(archive);
        return FailRead(m_archive.BuiltPath(), error);
    }
    const auto archiveSize = static_cast<uint64_t>(info.st_size);
    if (archiveSize > kMostWovenArchive) {
        ::close(archive);
        return Fail(Status::OverLimit(Reason::OverWovenLimit,
                                      static_cast<int64_t>(kMostWovenArchive),
                                      static_cast<int64_t>(archiveSize), m_carrierPath));
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(archiveSize));
    const bool read = ReadAll(archive, bytes.data(), bytes.size());
    const int readError = errno;
    ::close(archive);
    if (!read)
        return FailRead(m_archive.BuiltPath(), readError);
    if (out == nullptr || ::fseeko(out, 0, SEEK_SET) != 0)
        return FailWrite(OutputName(), out == nullptr ? EBADF : errno);

    WeaveOptions options;
    options.force = overCapacity;
    options.madeKeys = &made;
    options.report = [this](ProgressStep step, int64_t done, int64_t total) {
        return m_report.Report(step, done, total);
    };
    const ImagePartSource cover(::fileno(image), static_cast<uint64_t>(imageLength));
    const WeaveResult woven = ahead.Empty() ? Weave(cover, bytes, *password, out, options)
                                            : Weave(cover, bytes, ahead, out, options);
    if (woven.outcome != WovenOutcome::Ok)
        return Fail(WeaveStatus(woven, m_carrierPath, OutputName()));
    if (!ahead.Empty())
        made = std::move(ahead);
    return 1;
}

} // namespace lumora
