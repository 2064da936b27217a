// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/ArchiveTestTools.h"

#include "archive/Unzipper.h"

#include <deque>
#include <sstream>

namespace lumora::test {
namespace {

std::string Script(const std::string& name) {
    return std::string(LUMORA_TEST_DATA_DIR) + "/archive/" + name;
}

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream stream(line);
    std::string field;
    while (std::getline(stream, field, '\t'))
        fields.push_back(field);
    return fields;
}

} // namespace

std::vector<PythonEntry> DescribeWithPython(const std::string& archive,
                                            const std::optional<std::string>& password) {
    std::string command = "python3 " + ShellQuote(Script("zipinfo.py")) + " " + ShellQuote(archive);
    if (password)
        command += " " + ShellQuote(*password);
    std::string output;
    if (RunCommand(command + " 2>/dev/null", &output) != 0)
        return {};
    std::vector<PythonEntry> entries;
    std::stringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        auto f = SplitTabs(line);
        if (f.size() != 11)
            return {};
        entries.push_back({f[0], std::stoi(f[1]), std::stoi(f[2]), f[3], std::stoi(f[4]),
                           std::stol(f[5]), std::stoi(f[6]), std::stoi(f[7]), std::stoi(f[8]), f[9],
                           f[10]});
    }
    return entries;
}

bool MakeZipWithPython(const std::string& out, const std::vector<std::string>& args) {
    std::string command = "python3 " + ShellQuote(Script("make_zip.py")) + " " + ShellQuote(out);
    for (const auto& arg : args)
        command += " " + ShellQuote(arg);
    return RunCommand(command) == 0;
}

char Code(EntryCheck check) {
    return "OWDUCF"[static_cast<int>(check)];
}

bool MakeZipWithInfoZip(const std::string& out, const std::string& folder, const std::string& files,
                        const std::optional<std::string>& password, bool piped) {
    std::string command = "cd " + ShellQuote(folder) + " && zip -q -9 " +
                          (password ? "-P " + ShellQuote(*password) + " " : "");
    command += piped ? "- " + files + " > " + ShellQuote(out) : ShellQuote(out) + " " + files;
    return HaveTool("zip") && RunCommand(command + " 2>/dev/null") == 0;
}

const Password* KeptPassword(const std::optional<std::string>& text) {
    static std::deque<Password> kept;
    if (!text)
        return nullptr;
    return &kept.emplace_back(*text);
}

std::vector<ZipEntryInfo> ListEntries(const std::string& archive) {
    CUnzipper unzipper(archive);
    std::vector<ZipEntryInfo> entries;
    for (int k = 0; k < unzipper.EntryCount(); ++k) {
        ZipEntryInfo info;
        if (unzipper.EntryInfoAt(k, info) == 1)
            entries.push_back(info);
    }
    return entries;
}

std::vector<std::string> EntryNames(const std::string& archive) {
    std::vector<std::string> names;
    for (const auto& info : ListEntries(archive))
        names.push_back(info.name);
    return names;
}

} // namespace lumora::test
