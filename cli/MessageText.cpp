// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/MessageText.h"

#include "cli/CliError.h"
#include "cli/FileErrors.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

namespace lumora::cli {

std::string ToStoredForm(const std::string& text) {
    std::string stored;
    stored.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            stored.push_back('\r');
        stored.push_back(text[i]);
    }
    return stored;
}

std::string FromStoredForm(const std::string& stored) {
    std::string text;
    text.reserve(stored.size());
    for (size_t i = 0; i < stored.size(); ++i) {
        if (stored[i] == '\r' && i + 1 < stored.size() && stored[i + 1] == '\n')
            continue;
        text.push_back(stored[i]);
    }
    return text;
}

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
    // The engine stores the message as a NUL-terminated text; a NUL would cut it short.
    if (message.find('\0') != std::string::npos)
        throw Failure("the message contains a NUL byte and cannot be hidden");
    return ToStoredForm(message);
}

} // namespace lumora::cli
