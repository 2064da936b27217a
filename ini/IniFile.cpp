// SPDX-License-Identifier: GPL-2.0-or-later
#include "ini/IniFile.h"

#include "platform/AtomicFile.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace lumora {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view text) {
    const char* blanks = " \t\r\n\v\f";
    auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    auto last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    a = Trim(a);
    b = Trim(b);
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    }
    return true;
}

bool IsComment(std::string_view line) {
    line = Trim(line);
    return !line.empty() && (line.front() == ';' || line.front() == '#');
}

// The name of a "[name]" header line; nothing for other lines.
std::optional<std::string_view> HeaderName(std::string_view line) {
    line = Trim(line);
    if (line.size() < 2 || line.front() != '[')
        return std::nullopt;
    auto close = line.find(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return line.substr(1, close - 1);
}

// Key and raw value of a "key=value" line; nothing for other lines.
std::optional<std::pair<std::string_view, std::string_view>> KeyValue(std::string_view line) {
    if (IsComment(line) || HeaderName(line))
        return std::nullopt;
    auto equals = line.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    return std::make_pair(Trim(line.substr(0, equals)), line.substr(equals + 1));
}

// Cuts a UTF-8 text after maxChars code points (continuation bytes do not count).
std::string CutToChars(std::string_view text, std::size_t maxChars) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        bool startsChar = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
        if (startsChar && ++chars > maxChars)
            return std::string(text.substr(0, i));
    }
    return std::string(text);
}

std::string CleanValue(std::string_view raw) {
    std::string_view value = Trim(raw);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return CutToChars(value, IniFile::kMaxValueChars);
}

std::string OneLine(std::string_view value) {
    std::string result;
    result.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n')
            continue; // CR LF becomes one blank, written for the LF
        result += (value[i] == '\r' || value[i] == '\n') ? ' ' : value[i];
    }
    return result;
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != text.npos;
}

bool IsStorableSection(std::string_view section) {
    section = Trim(section);
    return !section.empty() && section.find(']') == section.npos && !HasLineBreak(section);
}

bool IsStorableKey(std::string_view key) {
    key = Trim(key);
    return !key.empty() && key.find('=') == key.npos && !HasLineBreak(key) && key.front() != '[' &&
           key.front() != ';' && key.front() != '#';
}

// Writes go to the file a symbolic link points at, so the link survives.
std::string WriteTarget(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(path, ec))
        return path;
    auto target = std::filesystem::weakly_canonical(path, ec);
    return ec ? path : target.string();
}

} // namespace

std::optional<int> ParseIniInteger(std::string_view text) {
    text = Trim(text);
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        std::string_view digits = text.substr(2);
        uint32_t value = 0;
        auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
        if (error != std::errc() || end != digits.data() + digits.size())
            return std::nullopt;
        return static_cast<int>(value);
    }
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

bool IniFile::DiskStamp::operator==(const DiskStamp& other) const {
    return exists == other.exists && device == other.device && inode == other.inode &&
           size == other.size && modified.tv_sec == other.modified.tv_sec &&
           modified.tv_nsec == other.modified.tv_nsec;
}

IniFile::IniFile(std::string path) : m_path(std::move(path)) {}

IniFile::DiskStamp IniFile::StampOnDisk() const {
    DiskStamp stamp;
    struct stat info {};
    if (::stat(m_path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return stamp;
    stamp.exists = true;
    stamp.device = info.st_dev;
    stamp.inode = info.st_ino;
    stamp.size = info.st_size;
    stamp.modified = info.st_mtim;
    return stamp;
}

void IniFile::Refresh() const {
    if (m_pending)
        return;
    DiskStamp now = StampOnDisk();
    if (m_loaded && now == m_stamp)
        return;
    m_stamp = now;
    Load();
}

void IniFile::Load() const {
    m_lines.clear();
    m_hasBom = false;
    m_loaded = true;
    if (!m_stamp.exists)
        return;
    std::ifstream in(m_path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        m_lines.push_back(std::move(line));
    }
    if (!m_lines.empty() && m_lines.front().starts_with(kBom)) {
        m_lines.front().erase(0, kBom.size());
        m_hasBom = true;
    }
}

bool IniFile::Save() {
    AtomicFile out(WriteTarget(m_path));
    bool ok = out.Open();
    if (ok) {
        std::string text(m_hasBom ? kBom : std::string_view());
        for (const std::string& line : m_lines) {
            text += line;
            text += '\n';
        }
        ok = std::fwrite(text.data(), 1, text.size(), out.Stream()) == text.size();
        ok = ok && out.Commit(Replace::Always);
    }
    // On failure the disk still holds the old file; read it again next time.
    m_loaded = ok;
    if (ok)
        m_stamp = StampOnDisk();
    return ok;
}

bool IniFile::Store() {
    if (m_batchDepth > 0 && m_batchWritten) {
        m_pending = true;
        return true;
    }
    bool ok = Save();
    m_batchWritten = ok && m_batchDepth > 0;
    return ok;
}

void IniFile::BeginBatch() {
    ++m_batchDepth;
}

bool IniFile::EndBatch() {
    if (m_batchDepth == 0 || --m_batchDepth > 0)
        return true;
    m_batchWritten = false;
    if (!m_pending)
        return true;
    m_pending = false;
    return Save();
}

std::optional<IniFile::SectionRange> IniFile::FindSection(std::string_view section) const {
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        auto name = HeaderName(m_lines[i]);
        if (!name || !SameName(*name, section))
            continue;
        std::size_t end = i + 1;
        while (end < m_lines.size() && !HeaderName(m_lines[end]))
            ++end;
        return SectionRange{i, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> IniFile::FindKey(const SectionRange& range, std::string_view key) const {
    for (std::size_t i = range.header + 1; i < range.end; ++i) {
        auto pair = KeyValue(m_lines[i]);
        if (pair && SameName(pair->first, key))
            return i;
    }
    return std::nullopt;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const {
    Refresh();
    auto range = FindSection(section);
    if (!range)
        return std::string(defaultValue);
    auto line = FindKey(*range, key);
    if (!line)
        return std::string(defaultValue);
    return CleanValue(KeyValue(m_lines[*line])->second);
}

int IniFile::ReadInteger(std::string_view section, std::string_view key, int defaultValue) const {
    Refresh();
    auto range = FindSection(section);
    auto line = range ? FindKey(*range, key) : std::nullopt;
    if (!line)
        return defaultValue;
    return ParseIniInteger(CleanValue(KeyValue(m_lines[*line])->second)).value_or(defaultValue);
}

bool IniFile::SectionExists(std::string_view section) const {
    Refresh();
    return FindSection(section).has_value();
}

bool IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    if (!IsStorableSection(section) || !IsStorableKey(key))
        return false;
    Refresh();
    std::string newLine = std::string(Trim(key)) + "=" + OneLine(value);
    auto range = FindSection(section);
    if (!range) {
        if (!m_lines.empty() && !Trim(m_lines.back()).empty())
            m_lines.emplace_back();
        std::string header = "[";
        header.append(Trim(section)).append("]");
        m_lines.push_back(std::move(header));
        m_lines.push_back(std::move(newLine));
        return Store();
    }
    if (auto line = FindKey(*range, key)) {
        // Keep the key's spelling as the file has it.
        m_lines[*line] = std::string(KeyValue(m_lines[*line])->first) + "=" + OneLine(value);
        return Store();
    }
    std::size_t last = range->end - 1;
    while (last > range->header && Trim(m_lines[last]).empty())
        --last;
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(last + 1), std::move(newLine));
    return Store();
}

bool IniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
    return WriteString(section, key, std::to_string(value));
}

bool IniFile::DeleteKey(std::string_view section, std::string_view key) {
    Refresh();
    auto range = FindSection(section);
    auto line = range ? FindKey(*range, key) : std::nullopt;
    if (!line)
        return true;
    m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(*line));
    return Store();
}

bool IniFile::EraseSection(std::string_view section) {
    Refresh();
    bool changed = false;
    while (auto range = FindSection(section)) {
        m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(range->header),
                      m_lines.begin() + static_cast<std::ptrdiff_t>(range->end));
        changed = true;
    }
    return !changed || Store();
}

} // namespace lumora
