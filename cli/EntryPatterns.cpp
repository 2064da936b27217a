// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/EntryPatterns.h"

#include <fnmatch.h>

namespace lumora::cli {
namespace {

template <typename Test>
std::vector<HiddenEntry> EntriesWhere(const std::vector<HiddenEntry>& entries, Test test) {
    std::vector<HiddenEntry> chosen;
    for (const HiddenEntry& entry : entries)
        if (test(entry.name))
            chosen.push_back(entry);
    return chosen;
}

} // namespace

NamedEntries EntriesNamed(const std::vector<HiddenEntry>& entries, const std::string& name) {
    NamedEntries named;
    named.entries =
        EntriesWhere(entries, [&name](const std::string& entry) { return entry == name; });
    if (!named.entries.empty()) {
        named.exact = true;
        return named;
    }
    std::string folder = name;
    while (!folder.empty() && folder.back() == '/')
        folder.pop_back();
    if (!folder.empty()) {
        folder += '/';
        named.entries = EntriesWhere(entries, [&folder](const std::string& entry) {
            return entry.size() > folder.size() && entry.compare(0, folder.size(), folder) == 0;
        });
        if (!named.entries.empty())
            return named;
    }
    named.entries = EntriesWhere(entries, [&name](const std::string& entry) {
        return ::fnmatch(name.c_str(), entry.c_str(), 0) == 0;
    });
    return named;
}

} // namespace lumora::cli
