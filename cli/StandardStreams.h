// SPDX-License-Identifier: GPL-2.0-or-later
// "-" for standard input and output. A carrier read from stdin is first copied into a
// private working folder, since a carrier is read from its end; a carrier or picture
// written to stdout is built there completely (and read back) before its first byte is
// sent. Only one of carrier, message and password can come from stdin.
#pragma once

#include "platform/WorkFolder.h"

#include <optional>
#include <string>
#include <vector>

namespace lumora::cli {

class Arguments;

// Throws a usage error when more than one thing would be read from stdin: carrier
// operands "-" among `carriers`, --message-file -, a password file "-" or descriptor 0.
void RequireStdinOnce(const Arguments& args, const std::vector<std::string>& carriers);

// A carrier named on the command line; "-" is stdin, copied into a working folder.
class CarrierInput {
public:
    explicit CarrierInput(const std::string& operand);
    CarrierInput(CarrierInput&&) = default;
    CarrierInput& operator=(CarrierInput&&) = default;

    bool FromStdin() const { return m_folder.operator bool(); }
    // The file to open.
    const std::string& Path() const { return m_path; }
    // How messages name it: the operand, or "standard input".
    const std::string& Name() const { return m_name; }
    // As given on the command line.
    const std::string& Operand() const { return m_operand; }

private:
    WorkFolder m_folder;
    std::string m_operand;
    std::string m_path;
    std::string m_name;
};

// An output given as "-": the file is made in a working folder and sent to stdout by
// Send. Refused (usage error) when stdout is a terminal or --json was given.
class StdoutOutput {
public:
    // None unless `output` is "-".
    static std::optional<StdoutOutput> For(const std::string& command,
                                           const std::optional<std::string>& output);
    StdoutOutput(StdoutOutput&&) = default;
    StdoutOutput& operator=(StdoutOutput&&) = default;

    // Where the file is to be made.
    const std::string& Path() const { return m_path; }
    // Copies the finished file to stdout.
    void Send() const;

private:
    StdoutOutput() = default;
    WorkFolder m_folder;
    std::string m_path;
};

// Refuses binary output to a terminal and together with --json (usage errors).
void RequireBinaryStdout(const std::string& command);

} // namespace lumora::cli
