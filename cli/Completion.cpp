// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/Completion.h"

#include "cli/CommandTable.h"

namespace lumora::cli {
namespace {

constexpr const char* kProgram = "lumora-cli";

std::string CommandNames() {
    std::string names;
    for (const CommandSpec& command : CommandSpecs())
        names += (names.empty() ? "" : " ") + std::string(command.name);
    return names;
}

std::vector<std::string> Names(const OptionSpec& option) {
    std::vector<std::string> names;
    if (option.shortName != 0)
        names.push_back(std::string("-") + option.shortName);
    names.push_back("--" + std::string(option.longName));
    return names;
}

// The help up to its first ";", for the one-line descriptions shells show.
std::string Short(const char* help) {
    std::string text = help;
    return text.substr(0, text.find(';'));
}

const char* KindWord(Completion completion) {
    switch (completion) {
    case Completion::File:
        return "file";
    case Completion::Folder:
        return "folder";
    case Completion::Program:
        return "program";
    case Completion::Shell:
        return "shell";
    case Completion::Command:
        return "command";
    case Completion::None:
        break;
    }
    return "none";
}

std::string Bash() {
    std::string script =
        "# bash completion for lumora-cli; made by \"lumora-cli completion bash\"\n"
        "_lumora_cli_offer() {\n"
        "    case $1 in\n"
        "    file) mapfile -t COMPREPLY < <(compgen -f -- \"$cur\") ;;\n"
        "    folder) mapfile -t COMPREPLY < <(compgen -d -- \"$cur\") ;;\n"
        "    program) mapfile -t COMPREPLY < <(compgen -c -- \"$cur\") ;;\n"
        "    shell) mapfile -t COMPREPLY < <(compgen -W \"bash zsh fish\" -- \"$cur\") ;;\n"
        "    command) mapfile -t COMPREPLY < <(compgen -W \"" +
        CommandNames() +
        "\" -- \"$cur\") ;;\n"
        "    *) COMPREPLY=() ;;\n"
        "    esac\n"
        "}\n"
        "_lumora_cli() {\n"
        "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
        "    local command= options= operands= i\n"
        "    [[ $cur == = ]] && cur=\n"
        "    [[ $prev == = ]] && prev=${COMP_WORDS[COMP_CWORD-2]}\n"
        "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
        "        case ${COMP_WORDS[i]} in\n"
        "        -*) ;;\n"
        "        *) command=${COMP_WORDS[i]}; break ;;\n"
        "        esac\n"
        "    done\n"
        "    case $command in\n";
    std::string top;
    for (const OptionSpec* option : OptionsOf(kProgram))
        for (const std::string& name : Names(*option))
            top += " " + name;
    script += "    '') options=\"" + top.substr(1) + "\"; operands=command ;;\n";
    for (const CommandSpec& command : CommandSpecs()) {
        std::string options;
        std::string values;
        for (const OptionSpec* option : OptionsOf(command.name)) {
            std::string names;
            for (const std::string& name : Names(*option)) {
                options += (options.empty() ? "" : " ") + name;
                names += (names.empty() ? "" : "|") + name;
            }
            if (option->value != nullptr)
                values += "        " + names + ") _lumora_cli_offer " +
                          KindWord(option->completion) + "; return ;;\n";
        }
        script += "    " + std::string(command.name) + ")\n";
        if (!values.empty())
            script += "        case $prev in\n" + values + "        esac\n";
        script += "        options=\"" + options +
                  "\"; operands=" + KindWord(command.operandCompletion) + " ;;\n";
    }
    script += "    *) operands=file ;;\n"
              "    esac\n"
              "    if [[ $cur == -* ]]; then\n"
              "        mapfile -t COMPREPLY < <(compgen -W \"$options\" -- \"$cur\")\n"
              "    else\n"
              "        _lumora_cli_offer \"$operands\"\n"
              "    fi\n"
              "}\n"
              "complete -o filenames -o bashdefault -F _lumora_cli lumora-cli\n";
    return script;
}

// Text inside a single-quoted zsh word within an _arguments description.
std::string ZshText(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else if (c == '[' || c == ']' || c == ':' || c == '\\')
            out += std::string("\\") + c;
        else
            out += c;
    }
    return out;
}

std::string ZshAction(Completion completion) {
    switch (completion) {
    case Completion::File:
        return "_files";
    case Completion::Folder:
        return "_files -/";
    case Completion::Program:
        return "_command_names -e";
    case Completion::Shell:
        return "(bash zsh fish)";
    case Completion::Command:
        return "(" + CommandNames() + ")";
    case Completion::None:
        break;
    }
    return " ";
}

std::string ZshOption(const OptionSpec& option) {
    const std::string help = "[" + ZshText(Short(option.help)) + "]";
    const std::string value =
        option.value == nullptr ? ""
                                : ":" + ZshText(option.value) + ":" + ZshAction(option.completion);
    const std::string repeat = option.repeatable ? "*" : "";
    const std::string longForm = "--" + std::string(option.longName) + (option.value ? "=" : "");
    if (option.shortName == 0)
        return "'" + repeat + longForm + help + value + "'";
    const std::string shortForm = std::string("-") + option.shortName + (option.value ? "+" : "");
    const std::string exclusion = option.repeatable ? "'*'"
                                                    : "'(-" + std::string(1, option.shortName) +
                                                          " --" + option.longName + ")'";
    return exclusion + "{" + shortForm + "," + longForm + "}'" + help + value + "'";
}

// One function, so that the script works both autoloaded from fpath and sourced; its
// names keep clear of zsh's own ("commands" is a special parameter).
std::string Zsh() {
    std::string script = "#compdef lumora-cli\n"
                         "# zsh completion for lumora-cli; made by \"lumora-cli completion zsh\"\n"
                         "_lumora_cli() {\n"
                         "local -a lumora_commands\n"
                         "lumora_commands=(\n";
    for (const CommandSpec& command : CommandSpecs())
        script += "  '" + std::string(command.name) + ":" + ZshText(command.summary) + "'\n";
    script += ")\n"
              "if (( CURRENT == 2 )); then\n"
              "  if [[ $PREFIX == -* ]]; then\n"
              "    _arguments";
    for (const OptionSpec* option : OptionsOf(kProgram))
        script += " " + ZshOption(*option);
    script += "\n"
              "  else\n"
              "    _describe -t commands 'lumora-cli command' lumora_commands\n"
              "  fi\n"
              "  return\n"
              "fi\n"
              "local lumora_command=$words[2]\n"
              "shift words\n"
              "(( CURRENT-- ))\n"
              "case $lumora_command in\n";
    for (const CommandSpec& command : CommandSpecs()) {
        script += "  " + std::string(command.name) + ")\n    _arguments -s -S";
        for (const OptionSpec* option : OptionsOf(command.name))
            script += " \\\n      " + ZshOption(*option);
        if (*command.operands != '\0')
            script += " \\\n      '*:" + ZshText(command.operands) + ":" +
                      ZshAction(command.operandCompletion) + "'";
        script += "\n    ;;\n";
    }
    script += "  *)\n    _files\n    ;;\nesac\n"
              "}\n"
              "if [[ $zsh_eval_context[-1] == loadautofunc ]]; then\n"
              "  _lumora_cli \"$@\"\n"
              "else\n"
              "  compdef _lumora_cli lumora-cli\n"
              "fi\n";
    return script;
}

std::string FishText(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "'";
}

std::string FishValue(const OptionSpec& option) {
    if (option.value == nullptr)
        return "";
    switch (option.completion) {
    case Completion::File:
        return " -r -F";
    case Completion::Folder:
        return " -r -x -a '(__fish_complete_directories)'";
    case Completion::Program:
        return " -r -x -a '(__fish_complete_command)'";
    case Completion::Shell:
        return " -r -x -a 'bash zsh fish'";
    case Completion::Command:
        return " -r -x -a " + FishText(CommandNames());
    case Completion::None:
        break;
    }
    return " -r -x";
}

std::string FishOption(const std::string& condition, const OptionSpec& option) {
    std::string line = "complete -c lumora-cli -n " + condition;
    if (option.shortName != 0)
        line += std::string(" -s ") + option.shortName;
    line += " -l " + std::string(option.longName) + FishValue(option) + " -d " +
            FishText(Short(option.help)) + "\n";
    return line;
}

std::string Fish() {
    std::string script =
        "# fish completion for lumora-cli; made by \"lumora-cli completion fish\"\n"
        "complete -c lumora-cli -f\n";
    for (const CommandSpec& command : CommandSpecs())
        script += "complete -c lumora-cli -n __fish_use_subcommand -a " +
                  std::string(command.name) + " -d " + FishText(command.summary) + "\n";
    for (const OptionSpec* option : OptionsOf(kProgram))
        script += FishOption("__fish_use_subcommand", *option);
    for (const CommandSpec& command : CommandSpecs()) {
        const std::string condition =
            FishText("__fish_seen_subcommand_from " + std::string(command.name));
        for (const OptionSpec* option : OptionsOf(command.name))
            script += FishOption(condition, *option);
        switch (command.operandCompletion) {
        case Completion::File:
            script += "complete -c lumora-cli -n " + condition + " -F\n";
            break;
        case Completion::Shell:
            script += "complete -c lumora-cli -n " + condition + " -a 'bash zsh fish'\n";
            break;
        case Completion::Command:
            script +=
                "complete -c lumora-cli -n " + condition + " -a " + FishText(CommandNames()) + "\n";
            break;
        default:
            break;
        }
    }
    return script;
}

} // namespace

std::optional<std::string> CompletionScript(const std::string& shell) {
    if (shell == "bash")
        return Bash();
    if (shell == "zsh")
        return Zsh();
    if (shell == "fish")
        return Fish();
    return std::nullopt;
}

} // namespace lumora::cli
