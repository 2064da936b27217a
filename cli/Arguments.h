// SPDX-License-Identifier: GPL-2.0-or-later
// Options and operands of one subcommand, parsed the way git and most GNU tools do:
// "--name value", "--name=value", "-x value", "-xvalue", options between operands,
// and "--" ending the options.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace lumora::cli {

struct OptionRule {
    std::string longName; // without the leading "--"
    char shortName = 0;   // 0 when the option has no short form
    bool takesValue = false;
    bool repeatable = false;
};

class Arguments {
public:
    // Throws UsageError (naming `command`) for unknown options and missing values.
    Arguments(const std::string& command, const std::vector<OptionRule>& rules,
              const std::vector<std::string>& args);

    bool Has(const std::string& longName) const { return m_options.count(longName) != 0; }
    std::optional<std::string> Value(const std::string& longName) const;
    std::vector<std::string> Values(const std::string& longName) const;
    const std::vector<std::string>& Operands() const { return m_operands; }

private:
    std::map<std::string, std::vector<std::string>> m_options;
    std::vector<std::string> m_operands;
};

} // namespace lumora::cli
