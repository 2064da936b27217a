// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/OutputNames.h"

#include "archive/EntryName.h"

#include <set>

namespace lumora {
namespace {

std::string Joined(const std::vector<std::string>& parts) {
    std::string path;
    for (const std::string& part : parts)
        path += (path.empty() ? "" : "/") + part;
    return path;
}

// "dir/x.txt" as "dir/x (n).txt"; a leading dot does not start an extension.
std::string Numbered(const std::string& path, int n) {
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot <= nameStart)
        dot = path.size();
    return path.substr(0, dot) + " (" + std::to_string(n) + ")" + path.substr(dot);
}

} // namespace

std::vector<std::string> UniqueOutputNames(const std::vector<std::string>& entryNames) {
    std::vector<std::string> paths;
    std::set<std::string> taken;
    for (const std::string& name : entryNames) {
        if (!IsSafeEntryName(name)) {
            paths.emplace_back();
            continue;
        }
        std::string path = Joined(EntryNameParts(name));
        for (int n = 2; taken.count(path) != 0; ++n)
            path = Numbered(Joined(EntryNameParts(name)), n);
        taken.insert(path);
        paths.push_back(path);
    }
    return paths;
}

std::string OwnOutputName(const std::string& entryName) {
    if (!IsSafeEntryName(entryName))
        return {};
    return EntryNameParts(entryName).back();
}

} // namespace lumora
