// SPDX-License-Identifier: GPL-2.0-or-later
// Small file helpers for tests: a temporary folder removed at the end, whole-file reads
// and writes, and deterministic test bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lumora::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

std::vector<uint8_t> ReadFile(const std::string& path);
std::string ReadText(const std::string& path);
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
void WriteText(const std::string& path, const std::string& text);
bool FileExists(const std::string& path);
// Number of entries in a folder (files and folders, not below it).
size_t EntriesIn(const std::string& folder);
// Names of the entries of a folder, sorted; none when it does not exist.
std::vector<std::string> FolderEntries(const std::string& folder);
// Bytes that look random but are the same on every run for the same seed.
std::vector<uint8_t> PseudoRandomBytes(size_t count, uint32_t seed);
// Lines of text that deflate shrinks well, the same on every run for the same seed.
std::vector<uint8_t> TextLikeBytes(size_t size, int seed = 0);
// Hex SHA-256 of a file, computed with the sha256sum tool (independent of our CSHA).
std::string Sha256Hex(const std::string& path);
// Path of a reference carrier or picture shipped with the tests.
std::string ReferenceFile(const std::string& name);

} // namespace lumora::test
