// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/ShellCommand.h"

#include <array>
#include <cstdio>
#include <sys/wait.h>

namespace lumora::test {

int RunCommand(const std::string& command, std::string* output) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return -1;
    std::array<char, 4096> buffer;
    size_t got;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        if (output != nullptr)
            output->append(buffer.data(), got);
    }
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string CommandOutput(const std::string& command) {
    std::string output;
    static_cast<void>(RunCommand(command, &output)); // the output tells what went wrong
    return output;
}

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

bool HaveTool(const std::string& name) {
    return RunCommand("command -v " + name + " >/dev/null 2>&1") == 0;
}

} // namespace lumora::test
