// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/EntryName.h"

#include <algorithm>

namespace lumora {
namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

std::optional<std::string> FileNameOf(const std::string& path) {
    auto slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty() || name == "." || name == "..")
        return std::nullopt;
    return name;
}

} // namespace

std::vector<std::string> EntryNameParts(std::string_view name) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = start;
        while (end < name.size() && !IsSeparator(name[end]))
            ++end;
        std::string_view part = name.substr(start, end - start);
        if (!part.empty() && part != ".")
            parts.emplace_back(part);
        start = end + 1;
    }
    return parts;
}

bool IsSafeEntryName(std::string_view name) {
    if (name.empty() || IsSeparator(name.front()) || name.find('\0') != std::string_view::npos)
        return false;
    auto parts = EntryNameParts(name);
    return !parts.empty() && std::find(parts.begin(), parts.end(), "..") == parts.end();
}

bool IsAcceptableNewEntryName(std::string_view name) {
    if (!IsSafeEntryName(name) || name.find('\\') != std::string_view::npos ||
        name == kMessageEntryName)
        return false;
    std::string plain;
    for (const auto& part : EntryNameParts(name))
        plain += (plain.empty() ? "" : "/") + part;
    return plain == name;
}

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

bool NeedsUtf8Flag(std::string_view name) {
    return std::any_of(name.begin(), name.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

} // namespace lumora
