// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/CliRunner.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace lumora::test {
namespace {

int OpenOrDie(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags, 0600);
    if (fd < 0)
        ::_exit(127);
    return fd;
}

// In the forked child: sets up its streams, session, limits and environment, then becomes
// the program.
[[noreturn]] void BecomeCli(const std::vector<std::string>& args, const CliOptions& options,
                            const std::string& capture, TerminalSide terminal) {
    ::setsid();
    ::dup2(OpenOrDie(options.stdinFile.value_or("/dev/null"), O_RDONLY), 0);
    ::dup2(OpenOrDie(capture + "/stdout", O_WRONLY | O_CREAT | O_TRUNC), 1);
    if (terminal.fd >= 0 && !terminal.controlling)
        ::dup2(terminal.fd, 2);
    else
        ::dup2(OpenOrDie(capture + "/stderr", O_WRONLY | O_CREAT | O_TRUNC), 2);
    if (terminal.fd >= 0 && terminal.controlling && ::ioctl(terminal.fd, TIOCSCTTY, 0) != 0)
        ::_exit(127);
    if (!options.workingFolder.empty() && ::chdir(options.workingFolder.c_str()) != 0)
        ::_exit(127);
    if (options.addressSpaceLimit) {
        const rlimit limit = {*options.addressSpaceLimit, *options.addressSpaceLimit};
        if (::setrlimit(RLIMIT_AS, &limit) != 0)
            ::_exit(127);
    }
    if (options.prepare != nullptr)
        options.prepare();

    std::map<std::string, std::string> variables = {
        {"PATH", "/usr/bin:/bin"}, {"HOME", "/nonexistent"}, {"LANG", "C.UTF-8"}};
    for (const auto& [name, value] : options.environment)
        variables[name] = value;
    std::vector<std::string> environment;
    for (const auto& [name, value] : variables)
        environment.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    std::string program = options.program.empty() ? CliPath(options.released) : options.program;
    std::vector<char*> argv{program.data()};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execve(program.c_str(), argv.data(), envp.data());
    ::_exit(127);
}

} // namespace

std::string CliPath(bool released) {
    return released ? LUMORA_RELEASED_CLI_PATH : LUMORA_TEST_CLI_PATH;
}

std::string CopyOfCli(const std::string& folder, bool released) {
    const std::string copy = folder + "/bin/lumora-cli";
    std::filesystem::create_directories(folder + "/bin");
    std::filesystem::copy_file(CliPath(released), copy,
                               std::filesystem::copy_options::overwrite_existing);
    return copy;
}

std::string CacheRootOf(const std::string& program) {
    return std::filesystem::path(program).parent_path().string() + "/cache";
}

CliChild::CliChild(const std::vector<std::string>& args, const CliOptions& options,
                   TerminalSide terminal) {
    m_pid = ::fork();
    if (m_pid < 0)
        throw std::runtime_error("fork failed");
    if (m_pid == 0)
        BecomeCli(args, options, m_capture.Path(), terminal);
}

CliChild::~CliChild() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
}

CliResult CliChild::Wait() {
    int waitStatus = 0;
    CliResult result;
    if (m_pid > 0 && ::waitpid(m_pid, &waitStatus, 0) == m_pid) {
        result.status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
        result.signal = WIFSIGNALED(waitStatus) ? WTERMSIG(waitStatus) : 0;
    }
    m_pid = -1;
    result.out = ReadText(m_capture / "stdout");
    result.err = ReadText(m_capture / "stderr");
    return result;
}

CliResult RunCli(const std::vector<std::string>& args, const CliOptions& options) {
    return CliChild(args, options).Wait();
}

} // namespace lumora::test
