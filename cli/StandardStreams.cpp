// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/StandardStreams.h"

#include "cli/Arguments.h"
#include "cli/CliError.h"
#include "cli/FileErrors.h"
#include "cli/Interrupt.h"
#include "cli/ReasonText.h"
#include "cli/Report.h"
#include "cli/TerminalText.h"
#include "engine/CarrierTrailer.h"
#include "platform/Clock.h"
#include "platform/DescriptorIo.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace lumora::cli {
namespace {

WorkFolder NewWorkFolder() {
    WorkFolder folder = WorkFolder::Create(TickCount());
    if (!folder)
        throw ErrorOf(Status::Fail(Reason::NoWorkFolder, folder.Error()));
    return folder;
}

// Copies `in` to `out` until the end of `in`, at most `limit` bytes. False when more
// would come; throws when reading or writing fails.
[[nodiscard]] bool Copy(int in, int out, int64_t limit, const std::string& inName,
                        const std::string& outName) {
    StopIfInterrupted();
    int64_t copied = 0;
    const bool read = ReadToEnd(
        in,
        [&](const char* data, size_t size) {
            StopIfInterrupted();
            copied += static_cast<int64_t>(size);
            if (copied > limit)
                return false;
            if (!WriteAll(out, data, size, StopForSignal)) {
                StopIfInterrupted();
                throw CannotWrite(outName);
            }
            return true;
        },
        StopForSignal);
    if (!read) {
        StopIfInterrupted();
        throw CannotRead(inName);
    }
    return copied <= limit;
}

} // namespace

void RequireStdinOnce(const Arguments& args, const std::vector<std::string>& carriers) {
    auto count = std::count(carriers.begin(), carriers.end(), "-");
    for (const char* option : {"message-file", "password-file", "new-password-file"})
        count += args.Value(option) == "-" ? 1 : 0;
    for (const char* option : {"password-fd", "new-password-fd"})
        count += args.Value(option) == "0" ? 1 : 0;
    if (count > 1)
        throw UsageError(args.Command(), "only one of the carrier, the message and a password "
                                         "can come from standard input");
}

CarrierInput::CarrierInput(const std::string& operand)
    : m_operand(operand), m_path(operand), m_name(operand) {
    if (operand != "-")
        return;
    m_name = "standard input";
    m_folder = NewWorkFolder();
    const char* spool = "standard-input";
    m_path = m_folder.Path() + "/" + spool;
    const int fd = ::openat(m_folder.Handle().Fd(), spool,
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        throw CannotWrite(m_path);
    bool complete = false;
    try {
        complete = Copy(STDIN_FILENO, fd, kMaxCarrierSize, m_name, m_path);
    } catch (...) {
        ::close(fd);
        throw;
    }
    if (::close(fd) != 0)
        throw CannotWrite(m_path);
    if (!complete)
        throw Failure("the carrier on standard input is too large (2 GiB at most)",
                      Reason::CarrierTooLarge);
    Detail("read the carrier from standard input");
}

void RequireBinaryStdout(const std::string& command) {
    if (JsonOutput())
        throw UsageError(command, "--json cannot be used when data goes to standard output");
    if (IsTerminal(Stream::Out))
        throw UsageError(command, "refusing to write binary data to a terminal; redirect "
                                  "standard output or name a file");
}

std::optional<StdoutOutput> StdoutOutput::For(const std::string& command,
                                              const std::optional<std::string>& output) {
    if (output != "-")
        return std::nullopt;
    RequireBinaryStdout(command);
    StdoutOutput result;
    result.m_folder = NewWorkFolder();
    result.m_path = result.m_folder.Path() + "/output";
    return result;
}

void StdoutOutput::Send() const {
    std::fflush(stdout);
    const int fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw CannotRead(m_path);
    try {
        // Without a limit only the end of the file ends the copy.
        static_cast<void>(Copy(fd, STDOUT_FILENO, INT64_MAX, m_path, "standard output"));
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
}

} // namespace lumora::cli
