// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/EntryNaming.h"

#include "archive/ArchiveUtil.h"

#include <algorithm>

namespace lumora {
namespace {

std::optional<std::string> FileNameOf(const std::string& path) {
    auto slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty() || name == "." || name == "..")
        return std::nullopt;
    return name;
}

} // namespace

std::optional<std::string> EntryNameForSource(const std::string& path, bool flatten) {
    if (flatten || (!path.empty() && path.front() == '/'))
        return FileNameOf(path);
    std::string name = path;
    while (name.starts_with("./"))
        name.erase(0, 2);
    if (!IsSafeEntryName(name) || name.back() == '/')
        return std::nullopt;
    return name;
}

bool NeedsUtf8Flag(const std::string& name) {
    return std::any_of(name.begin(), name.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

} // namespace lumora
