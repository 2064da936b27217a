// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/FileErrors.h"

#include "cli/ReasonText.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumora::cli {

CliError CannotRead(const std::string& path) {
    const int error = errno;
    return ErrorOf(Status::Fail(Reason::ReadFailed, path, error));
}

CliError CannotWrite(const std::string& path) {
    const int error = errno;
    return ErrorOf(Status::WriteFailure(path, error));
}

CliError AlreadyExists(const std::string& path) {
    return ErrorOf(Status::Fail(Reason::DestinationExists, path));
}

bool PathExists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

void RequireReadableFile(const std::string& path) {
    // O_NONBLOCK: a named pipe must not block the check.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        throw CannotRead(path);
    struct stat info {};
    bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ::close(fd);
    if (regular)
        return;
    if (!S_ISDIR(info.st_mode))
        throw Failure("cannot read " + path + ": not a regular file", Reason::ReadFailed);
    errno = EISDIR;
    throw CannotRead(path);
}

} // namespace lumora::cli
