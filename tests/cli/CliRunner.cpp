// SPDX-License-Identifier: GPL-2.0-or-later
#include "CliRunner.h"

#include "support/TestFiles.h"

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace lumora::test {
namespace {

[[noreturn]] void ExecChild(const std::vector<std::string>& args, const CliOptions& options,
                            const std::string& outPath, const std::string& errPath) {
    ::setsid();
    int in = ::open(options.stdinFile.value_or("/dev/null").c_str(), O_RDONLY);
    int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0)
        ::_exit(127);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    if (!options.workingFolder.empty() && ::chdir(options.workingFolder.c_str()) != 0)
        ::_exit(127);
    if (options.addressSpaceLimit) {
        const rlimit limit = {*options.addressSpaceLimit, *options.addressSpaceLimit};
        if (::setrlimit(RLIMIT_AS, &limit) != 0)
            ::_exit(127);
    }

    std::map<std::string, std::string> variables = {
        {"PATH", "/usr/bin:/bin"}, {"HOME", "/nonexistent"}, {"LANG", "C.UTF-8"}};
    for (const auto& [name, value] : options.environment)
        variables[name] = value;
    std::vector<std::string> environment;
    for (const auto& [name, value] : variables)
        environment.push_back(name + "=" + value);
    ExecCli(args, std::move(environment), options.released);
}

} // namespace

void ExecCli(const std::vector<std::string>& args, std::vector<std::string> environment,
             bool released) {
    const char* program = released ? LUMORA_RELEASED_CLI_PATH : LUMORA_CLI_PATH;
    std::vector<char*> argv{const_cast<char*>(program)};
    for (const auto& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    ::execve(program, argv.data(), envp.data());
    ::_exit(127);
}

std::string CliPath() {
    return LUMORA_CLI_PATH;
}

std::string CliCacheRoot() {
    return std::filesystem::path(LUMORA_CLI_PATH).parent_path().string() + "/cache";
}

std::vector<std::string> CacheEntries() {
    std::vector<std::string> entries;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(CliCacheRoot(), ec))
        entries.push_back(entry.path().filename().string());
    std::sort(entries.begin(), entries.end());
    return entries;
}

CliResult RunCli(const std::vector<std::string>& args, const CliOptions& options) {
    TempDir capture;
    std::string outPath = capture / "stdout";
    std::string errPath = capture / "stderr";
    pid_t child = ::fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0)
        ExecChild(args, options, outPath, errPath);

    int waitStatus = 0;
    ::waitpid(child, &waitStatus, 0);
    CliResult result;
    result.status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
    result.signal = WIFSIGNALED(waitStatus) ? WTERMSIG(waitStatus) : 0;
    result.out = ReadText(outPath);
    result.err = ReadText(errPath);
    return result;
}

} // namespace lumora::test
