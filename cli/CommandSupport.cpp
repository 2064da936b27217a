// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/CommandSupport.h"

#include "cli/HelpText.h"

#include <cstdio>

namespace lumora::cli {

std::optional<Arguments> ParseCommand(const std::string& command, std::vector<OptionRule> rules,
                                      const std::vector<std::string>& args) {
    rules.push_back({"help", 'h', false});
    Arguments arguments(command, rules, args);
    if (arguments.Has("help")) {
        std::fputs(CommandHelp(command).c_str(), stdout);
        return std::nullopt;
    }
    return arguments;
}

} // namespace lumora::cli
