// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/Arguments.h"

#include "cli/CliError.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace lumora::cli {
namespace {

const OptionSpec* FindLong(const std::vector<const OptionSpec*>& options, const std::string& name) {
    for (const OptionSpec* option : options)
        if (option->longName == name)
            return option;
    return nullptr;
}

const OptionSpec* FindShort(const std::vector<const OptionSpec*>& options, char name) {
    for (const OptionSpec* option : options)
        if (option->shortName != 0 && option->shortName == name)
            return option;
    return nullptr;
}

// Edits (insert, delete, replace, swap two neighbours) that turn a into b.
size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

std::string UnknownOption(const std::string& shown, const std::string& name,
                          const std::vector<const OptionSpec*>& options) {
    std::vector<std::string> known;
    for (const OptionSpec* option : options)
        known.push_back(option->longName);
    // A password on the command line would show in the process list and the history.
    if ((name == "password" || name == "p") &&
        std::find(known.begin(), known.end(), "password-file") != known.end())
        return "unknown option " + shown +
               ": the password is never given on the command line; use --password-file, "
               "--password-fd, --password-command or LUMORA_PASSWORD, or type it at the prompt";
    const std::string nearest = NearestWord(name, known);
    return "unknown option " + shown +
           (nearest.empty() ? "" : " (did you mean --" + nearest + "?)");
}

} // namespace

std::string NearestWord(const std::string& word, const std::vector<std::string>& known) {
    const size_t limit = std::min<size_t>(2, word.size() / 2);
    std::string nearest;
    size_t best = limit + 1;
    for (const std::string& candidate : known) {
        const size_t distance = EditDistance(word, candidate);
        if (distance < best) {
            best = distance;
            nearest = candidate;
        }
    }
    if (best <= limit || word.size() < 2)
        return best <= limit ? nearest : std::string();
    std::vector<std::string> extended;
    for (const std::string& candidate : known)
        if (candidate.rfind(word, 0) == 0 &&
            std::find(extended.begin(), extended.end(), candidate) == extended.end())
            extended.push_back(candidate);
    return extended.size() == 1 ? extended[0] : std::string();
}

Arguments::Arguments(const std::string& command, const std::vector<const OptionSpec*>& options,
                     const std::vector<std::string>& args)
    : m_command(command) {
    auto record = [&](const OptionSpec& option, const std::string& shown, std::string value) {
        auto& values = m_options[option.longName];
        if (!values.empty() && !option.repeatable)
            throw UsageError(command, "option " + shown + " given more than once");
        values.push_back(std::move(value));
        m_order.push_back(option.longName);
    };

    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            m_operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }

        if (arg[1] == '-') {
            const size_t equals = arg.find('=');
            const std::string name =
                arg.substr(2, equals == std::string::npos ? equals : equals - 2);
            const std::string shown = "--" + name;
            const OptionSpec* option = FindLong(options, name);
            if (option == nullptr)
                throw UsageError(command, UnknownOption(shown, name, options));
            if (option->value == nullptr) {
                if (equals != std::string::npos)
                    throw UsageError(command, "option " + shown + " takes no value");
                record(*option, shown, std::string());
            } else if (equals != std::string::npos) {
                record(*option, shown, arg.substr(equals + 1));
            } else if (i + 1 < args.size()) {
                record(*option, shown, args[++i]);
            } else {
                throw UsageError(command, "option " + shown + " needs a value");
            }
            continue;
        }

        // One or more short options; a value-taking one takes the rest of the word, or
        // the next word.
        for (size_t at = 1; at < arg.size(); ++at) {
            const std::string shown = std::string("-") + arg[at];
            const OptionSpec* option = FindShort(options, arg[at]);
            if (option == nullptr)
                throw UsageError(command, UnknownOption(shown, std::string(1, arg[at]), options));
            if (option->value == nullptr) {
                record(*option, shown, std::string());
                continue;
            }
            if (at + 1 < arg.size())
                record(*option, shown, arg.substr(at + 1));
            else if (i + 1 < args.size())
                record(*option, shown, args[++i]);
            else
                throw UsageError(command, "option " + shown + " needs a value");
            break;
        }
    }
}

std::optional<std::string> Arguments::Value(const std::string& longName) const {
    auto it = m_options.find(longName);
    if (it == m_options.end() || it->second.empty())
        return std::nullopt;
    return it->second.back();
}

std::vector<std::string> Arguments::Values(const std::string& longName) const {
    auto it = m_options.find(longName);
    return it == m_options.end() ? std::vector<std::string>() : it->second;
}

std::optional<long> Arguments::Number(const std::string& longName, long minimum,
                                      long maximum) const {
    const auto text = Value(longName);
    if (!text)
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const long number = std::strtol(text->c_str(), &end, 10);
    if (text->empty() || *end != '\0' || errno != 0 || number < minimum || number > maximum ||
        !std::isdigit(static_cast<unsigned char>(text->front())))
        throw UsageError(m_command, "--" + longName + " needs a whole number from " +
                                        std::to_string(minimum) + " to " + std::to_string(maximum) +
                                        ", not '" + *text + "'");
    return number;
}

std::string Arguments::LastGiven(const std::vector<std::string>& longNames) const {
    for (auto name = m_order.rbegin(); name != m_order.rend(); ++name)
        if (std::find(longNames.begin(), longNames.end(), *name) != longNames.end())
            return *name;
    return {};
}

} // namespace lumora::cli
