// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/MessageText.h"

#include "cli/Arguments.h"
#include "cli/ChildProgram.h"
#include "cli/CliError.h"
#include "cli/FileErrors.h"
#include "cli/Interrupt.h"
#include "cli/ReasonText.h"
#include "engine/MessageEntry.h"
#include "engine/MessageForm.h"
#include "platform/Clock.h"
#include "platform/DescriptorIo.h"
#include "platform/WorkFolder.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumora::cli {
namespace {

// Reads a whole message, bounded: a message the engine would refuse stops the reading
// at once (a file such as /dev/zero never ends), and so does a signal. With `stored`,
// the text is turned into its stored form as it is read, so that a large message is
// never held twice.
std::string ReadBounded(int fd, const std::string& name, bool stored) {
    StopIfInterrupted();
    std::string message;
    // The stored form is at most twice the file. Reserving that much for a regular file
    // spares the copies of a growing string; pages never written take no memory.
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
        message.reserve(static_cast<size_t>(std::min<int64_t>(info.st_size, kMaxMessageEntrySize)) *
                        (stored ? 2 : 1));
    StoredFormAppender appender(message);
    int64_t readSize = 0;
    const bool read = ReadToEnd(
        fd,
        [&](const char* data, size_t size) {
            StopIfInterrupted();
            if (stored)
                appender.Append({data, size});
            else
                message.append(data, size);
            readSize += static_cast<int64_t>(size);
            if (readSize >= kMaxMessageEntrySize)
                throw ErrorOf(
                    Status::OverLimit(Reason::MessageTooLarge, kMaxMessageEntrySize, -1, name));
            return true;
        },
        StopForSignal);
    if (!read) {
        StopIfInterrupted();
        throw CannotRead(name);
    }
    return message;
}

std::string ReadMessageFile(const std::string& path, bool stored) {
    // Pipes are fine here (--message-file <(command)); folders are not.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw CannotRead(path);
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd);
        errno = EISDIR;
        throw CannotRead(path);
    }
    try {
        std::string message = ReadBounded(fd, path, stored);
        ::close(fd);
        return message;
    } catch (...) {
        ::close(fd);
        throw;
    }
}

bool OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/bin:/bin";
    for (size_t start = 0; start <= folders.size();) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        const std::string folder = end > start ? folders.substr(start, end - start) : ".";
        if (::access((folder + "/" + program).c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

std::string ChosenEditor() {
    for (const char* variable : {"VISUAL", "EDITOR"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0')
            return value;
    }
    return OnPath("editor") ? "editor" : "vi";
}

void WriteText(int fd, const std::string& text, const std::string& name) {
    if (!WriteAll(fd, text.data(), text.size()))
        throw CannotWrite(name);
}

} // namespace

bool GivesMessage(const Arguments& args) {
    const int given = (args.Has("message") ? 1 : 0) + (args.Has("message-file") ? 1 : 0) +
                      (args.Has("edit-message") ? 1 : 0);
    if (given > 1)
        throw UsageError(args.Command(), "give only one of -m, --message-file and -e");
    return given == 1;
}

std::string EditInEditor(const std::string& text) {
    WorkFolder folder = WorkFolder::Create(TickCount());
    if (!folder)
        throw ErrorOf(Status::Fail(Reason::NoWorkFolder, folder.Error()));
    const std::string name = "message.txt";
    const std::string path = folder.Path() + "/" + name;
    const int fd = ::openat(folder.Handle().Fd(), name.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        throw CannotWrite(path);
    try {
        WriteText(fd, text.empty() ? text : text + "\n", path);
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);

    const std::string editor = ChosenEditor();
    ChildRun run;
    run.argv = {"/bin/sh", "-c", editor + " \"$@\"", editor, path};
    run.ignoreInterrupts = true;
    const int terminal = OpenTerminal();
    // Without a terminal the editor must still keep off stdout, which may carry a carrier.
    run.in = terminal;
    run.out = terminal >= 0 ? terminal : STDERR_FILENO;
    run.err = terminal;
    const int status = RunChild(run);
    if (terminal >= 0)
        ::close(terminal);
    StopIfInterrupted();
    if (status != 0)
        throw Failure(editor + " failed while editing the message (" + DescribeChildStatus(status) +
                      "); nothing was saved");
    std::string edited = ReadMessageFile(path, false);
    if (!edited.empty() && edited.back() == '\n')
        edited.pop_back();
    return edited;
}

std::optional<std::string> MessageFromOptions(const Arguments& args, const std::string* current) {
    GivesMessage(args);
    const auto text = args.Value("message");
    const auto file = args.Value("message-file");
    if (text)
        return ToStoredForm(*text);
    if (file && *file == "-")
        return ReadBounded(STDIN_FILENO, "standard input", true);
    if (file)
        return ReadMessageFile(*file, true);
    if (!args.Has("edit-message"))
        return std::nullopt;
    std::string edited;
    {
        const std::string shown = current != nullptr ? FromStoredForm(*current) : std::string();
        edited = EditInEditor(shown);
        if (edited == shown)
            return std::nullopt;
    }
    return ToStoredForm(edited);
}

} // namespace lumora::cli
