// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/FileErrors.h"

#include "cli/CliError.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumora::cli {

std::string CannotRead(const std::string& path) {
    return "cannot read " + path + ": " + std::strerror(errno);
}

std::string CannotWrite(const std::string& path) {
    return "cannot write " + path + ": " + std::strerror(errno);
}

void RequireReadableFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw Failure(CannotRead(path));
    struct stat info {};
    bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ::close(fd);
    if (!regular) {
        errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        throw Failure(S_ISDIR(info.st_mode) ? CannotRead(path)
                                            : "cannot read " + path + ": not a regular file");
    }
}

} // namespace lumora::cli
