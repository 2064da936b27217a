// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/ChildProgram.h"

#include "cli/Interrupt.h"
#include "platform/DescriptorIo.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>

namespace lumora::cli {
namespace {

[[noreturn]] void ExecChild(const ChildRun& run, int outputPipe) {
    for (int signal : {SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGPIPE})
        std::signal(signal, SIG_DFL);
    if (run.in >= 0)
        ::dup2(run.in, STDIN_FILENO);
    if (outputPipe >= 0)
        ::dup2(outputPipe, STDOUT_FILENO);
    else if (run.out >= 0)
        ::dup2(run.out, STDOUT_FILENO);
    if (run.err >= 0)
        ::dup2(run.err, STDERR_FILENO);
    std::vector<char*> argv;
    for (const std::string& word : run.argv)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    const std::string text = "lumora-cli: cannot run " + run.argv[0] + "\n";
    ssize_t ignored = ::write(STDERR_FILENO, text.data(), text.size());
    (void)ignored;
    ::_exit(127);
}

// Reads the child's output until it closes it; stops early on a signal for us.
void ReadOutput(int fd, std::string& output, size_t limit) {
    // A failed read ends the output like its end does: the child's status tells the rest.
    static_cast<void>(ReadToEnd(
        fd,
        [&](const char* data, size_t size) {
            const size_t room = limit > output.size() ? limit - output.size() : 0;
            output.append(data, std::min(room, size));
            return true;
        },
        StopForSignal));
}

int WaitFor(pid_t child) {
    bool passedOn = false;
    for (;;) {
        int status = 0;
        if (::waitpid(child, &status, 0) == child)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (errno != EINTR)
            return 127;
        const int signal = PendingSignal();
        if (signal != 0 && !passedOn) {
            ::kill(child, signal);
            passedOn = true;
        }
    }
}

} // namespace

std::optional<std::vector<std::string>> SplitWords(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord)
                words.push_back(std::move(word));
            word.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == '\'') {
            const size_t end = line.find('\'', i + 1);
            if (end == std::string::npos)
                return std::nullopt;
            word.append(line, i + 1, end - i - 1);
            i = end;
        } else if (c == '"') {
            for (++i;; ++i) {
                if (i >= line.size())
                    return std::nullopt;
                if (line[i] == '"')
                    break;
                const bool escape =
                    line[i] == '\\' && i + 1 < line.size() &&
                    std::string_view("\"\\$`\n").find(line[i + 1]) != std::string_view::npos;
                if (escape && line[++i] == '\n')
                    continue;
                word += line[i];
            }
        } else if (c == '\\') {
            if (++i >= line.size())
                return std::nullopt;
            if (line[i] != '\n')
                word += line[i];
        } else {
            word += c;
        }
    }
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

int OpenTerminal() {
    return ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
}

int RunChild(const ChildRun& run) {
    int pipeFds[2] = {-1, -1};
    if (run.output != nullptr && ::pipe2(pipeFds, O_CLOEXEC) != 0)
        return 127;
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction savedInt = {};
    struct sigaction savedQuit = {};
    if (run.ignoreInterrupts) {
        ::sigaction(SIGINT, &ignore, &savedInt);
        ::sigaction(SIGQUIT, &ignore, &savedQuit);
    }
    const pid_t child = ::fork();
    if (child == 0)
        ExecChild(run, pipeFds[1]);
    int status = 127;
    if (child > 0) {
        if (run.output != nullptr) {
            ::close(pipeFds[1]);
            pipeFds[1] = -1;
            ReadOutput(pipeFds[0], *run.output, run.outputLimit);
            ::close(pipeFds[0]);
            pipeFds[0] = -1;
        }
        status = WaitFor(child);
    }
    for (int fd : pipeFds)
        if (fd >= 0)
            ::close(fd);
    if (run.ignoreInterrupts) {
        ::sigaction(SIGINT, &savedInt, nullptr);
        ::sigaction(SIGQUIT, &savedQuit, nullptr);
    }
    return status;
}

std::string DescribeChildStatus(int status) {
    if (status > 128 && status < 128 + 65)
        return "ended by signal " + std::to_string(status - 128);
    return "exit status " + std::to_string(status);
}

} // namespace lumora::cli
