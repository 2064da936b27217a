// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/ClassicData.h"

#include "engine/TrailerCodec.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumora {

TrailerVerdict JudgeTrailer(const CarrierTrailer& trailer, int64_t fileSize) {
    if (fileSize < kTrailerSize || trailer.magic[0] != 'V' || trailer.magic[1] != 'Z')
        return TrailerVerdict::None;
    if (trailer.version != kTrailerVersion)
        return TrailerVerdict::OtherVersion;
    if (!TrailerFitsFile(trailer, fileSize))
        return TrailerVerdict::OutsideFile;
    if (trailer.imageLength == 0 || trailer.payloadLength == 0)
        return TrailerVerdict::EmptyPart;
    return TrailerVerdict::Classic;
}

bool HoldsClassicData(const CarrierTrailer& trailer, int64_t fileSize) {
    return JudgeTrailer(trailer, fileSize) == TrailerVerdict::Classic;
}

std::optional<CarrierTrailer> ClassicTrailerOf(int fd) {
    struct stat info {};
    TrailerBytes bytes{};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < kTrailerSize ||
        ::pread(fd, bytes.data(), bytes.size(), info.st_size - kTrailerSize) !=
            static_cast<ssize_t>(bytes.size()))
        return std::nullopt;
    const CarrierTrailer trailer = DecodeTrailer(bytes);
    if (!HoldsClassicData(trailer, info.st_size))
        return std::nullopt;
    return trailer;
}

std::optional<CarrierTrailer> ClassicTrailerOf(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::optional<CarrierTrailer> trailer = ClassicTrailerOf(fd);
    ::close(fd);
    return trailer;
}

} // namespace lumora
