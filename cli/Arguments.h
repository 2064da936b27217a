// SPDX-License-Identifier: GPL-2.0-or-later
// Options and operands of one command, parsed the way git and most GNU tools do:
// "--name value", "--name=value", "-x value", "-xvalue", flags bundled ("-qf"), options
// between operands, and "--" ending the options. "-" alone is an operand. Long options
// are never abbreviated; an unknown one is answered with the nearest known name.
#pragma once

#include "cli/CommandTable.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace lumora::cli {

class Arguments {
public:
    // Throws UsageError (naming `command`) for unknown options and missing values.
    Arguments(const std::string& command, const std::vector<const OptionSpec*>& options,
              const std::vector<std::string>& args);

    const std::string& Command() const { return m_command; }
    bool Has(const std::string& longName) const { return m_options.count(longName) != 0; }
    // The value of an option given once (the last one for a repeatable option).
    std::optional<std::string> Value(const std::string& longName) const;
    std::vector<std::string> Values(const std::string& longName) const;
    // The value as a whole number from `minimum` to `maximum`; a usage error otherwise.
    std::optional<long> Number(const std::string& longName, long minimum, long maximum) const;
    const std::vector<std::string>& Operands() const { return m_operands; }
    // Of the options longNames, the one given last; empty when none was given.
    std::string LastGiven(const std::vector<std::string>& longNames) const;

private:
    std::string m_command;
    std::map<std::string, std::vector<std::string>> m_options;
    std::vector<std::string> m_operands;
    std::vector<std::string> m_order; // the long names of the options, as given
};

// The known word nearest to `word` (at most two edits away, or the only one that starts
// with it), or empty.
std::string NearestWord(const std::string& word, const std::vector<std::string>& known);

} // namespace lumora::cli
