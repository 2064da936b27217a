// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/MessageText.h"

#include "cli/CliError.h"
#include "cli/FileErrors.h"
#include "engine/MessageForm.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

namespace lumora::cli {

std::optional<std::string> MessageFromOptions(const std::string& command,
                                              const std::optional<std::string>& text,
                                              const std::optional<std::string>& file) {
    if (text && file)
        throw UsageError(command, "-m and --message-file cannot be used together");
    std::string message;
    if (text) {
        message = *text;
    } else if (file && *file == "-") {
        message.assign(std::istreambuf_iterator<char>(std::cin), {});
    } else if (file) {
        // Pipes are fine here (--message-file <(command)); folders are not.
        std::ifstream in(*file, std::ios::binary);
        if (!in)
            throw Failure(CannotRead(*file));
        std::error_code ec;
        if (std::filesystem::is_directory(*file, ec))
            throw Failure("cannot read " + *file + ": Is a directory");
        message.assign(std::istreambuf_iterator<char>(in), {});
        if (in.bad())
            throw Failure(CannotRead(*file));
    } else {
        return std::nullopt;
    }
    if (!IsStorableMessage(message))
        throw Failure("the message contains a NUL byte and cannot be hidden");
    return ToStoredForm(message);
}

} // namespace lumora::cli
