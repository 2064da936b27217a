// SPDX-License-Identifier: GPL-2.0-or-later
// An INI file of "[section]" headers and "key=value" lines, shared by the language file
// and the settings store.
//
// Reading: section and key names match without regard to ASCII letter case; the first
// match wins. Values lose surrounding blanks and then one pair of surrounding double
// quotes, and are cut to 2047 characters (UTF-8 code points). Lines may end in CR LF or
// LF; lines starting with ";" or "#" are comments. A missing file reads as empty.
//
// Writing: a key is replaced in its place or added after the last line of its section;
// a missing section is added at the end of the file, a missing file is created (its
// folder must exist). Every write outside a batch (below) reaches the disk at once: the
// whole file is written to
// a temporary file that is synced and renamed over the INI file, so a crash can never
// leave a half-written file. Lines end in LF; unknown lines and comments are kept.
//
// The parsed file is kept in memory and read again whenever the file on disk changed
// (another IniFile object or an editor wrote it), so several objects on one path stay
// consistent. Failures are reported by return values; nothing throws.
#pragma once

#include <cstddef>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace lumora {

class IniFile {
public:
    static constexpr std::size_t kMaxValueChars = 2047;

    explicit IniFile(std::string path);

    const std::string& Path() const { return m_path; }

    // The value of a key, or defaultValue when the section or key is missing. A key
    // present with an empty value gives an empty text.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue = {}) const;
    // Decimal, or hexadecimal after "0x"/"0X"; a missing key or a value that is not a
    // 32-bit number gives defaultValue.
    int ReadInteger(std::string_view section, std::string_view key, int defaultValue) const;
    bool SectionExists(std::string_view section) const;

    // False when the file cannot be written or a name cannot be stored: empty names, a
    // section containing "]" or a line break, a key containing "=" or a line break or
    // starting with "[", ";" or "#". Line breaks in a value are stored as single blanks.
    [[nodiscard]] bool WriteString(std::string_view section, std::string_view key,
                                   std::string_view value);
    [[nodiscard]] bool WriteInteger(std::string_view section, std::string_view key, int value);
    // Removes a key or a whole section (every section of that name); true when nothing
    // was there to remove.
    [[nodiscard]] bool DeleteKey(std::string_view section, std::string_view key);
    [[nodiscard]] bool EraseSection(std::string_view section);

    // Groups many writes: the first write of a batch reaches the disk at once (so an
    // unwritable file shows at once), later ones change the file in memory and are
    // written by the EndBatch that closes the outermost batch, in one atomic replacement.
    // Each write on disk costs two syncs; this keeps a first run of the program that
    // writes hundreds of keys fast. EndBatch is false when that write failed.
    void BeginBatch();
    [[nodiscard]] bool EndBatch();

private:
    struct DiskStamp {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        timespec modified{};
        bool operator==(const DiskStamp& other) const;
    };
    struct SectionRange {
        std::size_t header; // line of the "[section]" header
        std::size_t end;    // one past the section's last line
    };

    void Refresh() const;
    void Load() const;
    [[nodiscard]] bool Save();
    [[nodiscard]] bool Store();
    DiskStamp StampOnDisk() const;
    std::optional<SectionRange> FindSection(std::string_view section) const;
    std::optional<std::size_t> FindKey(const SectionRange& range, std::string_view key) const;

    std::string m_path;
    mutable std::vector<std::string> m_lines;
    mutable bool m_hasBom = false;
    mutable bool m_loaded = false;
    mutable DiskStamp m_stamp;
    int m_batchDepth = 0;
    bool m_batchWritten = false; // the batch's first write is on disk
    bool m_pending = false;      // the file in memory is ahead of the disk
};

// The integer rule of INI values: decimal with an optional sign, or hexadecimal after
// "0x"/"0X" (up to 32 bits); anything else is not a number.
std::optional<int> ParseIniInteger(std::string_view text);

} // namespace lumora
