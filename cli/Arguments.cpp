// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/Arguments.h"

#include "cli/CliError.h"

namespace lumora::cli {
namespace {

const OptionRule* FindLong(const std::vector<OptionRule>& rules, const std::string& name) {
    for (const auto& rule : rules)
        if (rule.longName == name)
            return &rule;
    return nullptr;
}

const OptionRule* FindShort(const std::vector<OptionRule>& rules, char name) {
    for (const auto& rule : rules)
        if (rule.shortName != 0 && rule.shortName == name)
            return &rule;
    return nullptr;
}

} // namespace

Arguments::Arguments(const std::string& command, const std::vector<OptionRule>& rules,
                     const std::vector<std::string>& args) {
    auto record = [&](const OptionRule& rule, const std::string& shown, std::string value) {
        auto& values = m_options[rule.longName];
        if (!values.empty() && !rule.repeatable)
            throw UsageError(command, "option " + shown + " given more than once");
        values.push_back(std::move(value));
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

        const OptionRule* rule = nullptr;
        std::string shown;
        std::optional<std::string> inlineValue;
        if (arg[1] == '-') {
            auto equals = arg.find('=');
            std::string name = arg.substr(2, equals == std::string::npos ? equals : equals - 2);
            if (equals != std::string::npos)
                inlineValue = arg.substr(equals + 1);
            rule = FindLong(rules, name);
            shown = "--" + name;
        } else {
            rule = FindShort(rules, arg[1]);
            shown = arg.substr(0, 2);
            if (arg.size() > 2)
                inlineValue = arg.substr(2);
        }
        if (rule == nullptr)
            throw UsageError(command, "unknown option " + shown);

        if (!rule->takesValue) {
            if (inlineValue)
                throw UsageError(command, "option " + shown + " takes no value");
            record(*rule, shown, std::string());
            continue;
        }
        if (!inlineValue) {
            if (i + 1 >= args.size())
                throw UsageError(command, "option " + shown + " needs a value");
            inlineValue = args[++i];
        }
        record(*rule, shown, *inlineValue);
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

} // namespace lumora::cli
