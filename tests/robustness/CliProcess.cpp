// SPDX-License-Identifier: GPL-2.0-or-later
#include "CliProcess.h"

#include "RobustnessSupport.h"

#include <fcntl.h>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace lumora::test {

CliProcess::CliProcess(const std::string& folder)
    : m_folder(folder), m_bin(folder + "/bin"), m_program(m_bin + "/lumora-cli") {
    std::filesystem::create_directories(m_bin);
    std::filesystem::copy_file(LUMORA_CLI_PATH, m_program,
                               std::filesystem::copy_options::overwrite_existing);
}

pid_t CliProcess::Start(const std::vector<std::string>& args, void (*prepare)()) {
    std::string out = m_folder + "/cli.out";
    std::string err = m_folder + "/cli.err";
    std::string home = "HOME=" + m_folder;
    std::string password = std::string("LUMORA_PASSWORD=") + kPassword;
    pid_t child = ::fork();
    if (child != 0)
        return child;
    ::setsid();
    int in = ::open("/dev/null", O_RDONLY);
    int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(in, 0);
    ::dup2(outFd, 1);
    ::dup2(errFd, 2);
    if (prepare != nullptr)
        prepare();
    std::vector<char*> argv = {m_program.data()};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> env = {const_cast<char*>("PATH=/usr/bin:/bin"), home.data(), password.data(),
                              const_cast<char*>("LANG=C.UTF-8"), nullptr};
    ::execve(m_program.c_str(), argv.data(), env.data());
    ::_exit(127);
}

int CliProcess::Wait(pid_t child) {
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child)
        return -1;
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

int CliProcess::Run(const std::vector<std::string>& args, void (*prepare)()) {
    return Wait(Start(args, prepare));
}

std::string CliProcess::Stderr() const {
    return ReadText(m_folder + "/cli.err");
}

} // namespace lumora::test
