// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/MessageText.h"

#include "cli/CliError.h"
#include "cli/FileErrors.h"
#include "cli/Interrupt.h"
#include "engine/MessageEntry.h"
#include "engine/MessageForm.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumora::cli {
namespace {

// Reads a whole message, bounded: a message the engine would refuse stops the reading
// at once (a file such as /dev/zero never ends), and so does a signal.
std::string ReadBounded(int fd, const std::string& name) {
    std::string message;
    char buffer[65536];
    for (;;) {
        StopIfInterrupted();
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw Failure(CannotRead(name));
        if (got == 0)
            return message;
        message.append(buffer, static_cast<size_t>(got));
        if (static_cast<int64_t>(message.size()) >= kMaxMessageEntrySize)
            throw Failure("the message in " + name + " is too large (64 MiB at most)");
    }
}

} // namespace

std::optional<std::string> MessageFromOptions(const std::string& command,
                                              const std::optional<std::string>& text,
                                              const std::optional<std::string>& file) {
    if (text && file)
        throw UsageError(command, "-m and --message-file cannot be used together");
    std::string message;
    if (text) {
        message = *text;
    } else if (file && *file == "-") {
        message = ReadBounded(STDIN_FILENO, "standard input");
    } else if (file) {
        // Pipes are fine here (--message-file <(command)); folders are not.
        int fd = ::open(file->c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            throw Failure(CannotRead(*file));
        struct stat info {};
        if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
            ::close(fd);
            throw Failure("cannot read " + *file + ": Is a directory");
        }
        try {
            message = ReadBounded(fd, *file);
        } catch (...) {
            ::close(fd);
            throw;
        }
        ::close(fd);
    } else {
        return std::nullopt;
    }
    if (!IsStorableMessage(message))
        throw Failure("the message contains a NUL byte and cannot be hidden");
    return ToStoredForm(message);
}

} // namespace lumora::cli
