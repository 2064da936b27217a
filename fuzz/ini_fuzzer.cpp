// SPDX-License-Identifier: GPL-2.0-or-later
// Reads arbitrary bytes as an INI file: every section and key named in the input is
// looked up, then one key is written and must read back.
#include "fuzz/FuzzSupport.h"
#include "ini/IniFile.h"

#include <cstdlib>
#include <string_view>

using namespace lumora;

namespace {

constexpr size_t kMaxLookups = 64;

std::string_view Trimmed(std::string_view text) {
    size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string path = fuzz::WriteInput("lang.ini", data, size);
    std::string_view text(reinterpret_cast<const char*>(data), size);
    IniFile ini(path);
    std::string section = "TfrmMain";
    size_t lookups = 0;
    for (size_t start = 0; start < text.size() && lookups < kMaxLookups; ++lookups) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = Trimmed(text.substr(start, end - start));
        start = end + 1;
        if (!line.empty() && line.front() == '[') {
            section = std::string(line.substr(1, line.find(']') - 1));
            ini.SectionExists(section);
        } else if (size_t eq = line.find('='); eq != std::string_view::npos) {
            std::string_view key = Trimmed(line.substr(0, eq));
            std::string value = ini.ReadString(section, key, "default");
            if (value.size() > IniFile::kMaxValueChars * 4)
                std::abort(); // values are cut to 2047 characters of up to 4 bytes
            ini.ReadInteger(section, key, 0);
            ParseIniInteger(line.substr(eq + 1));
        }
    }
    std::string value(text.substr(0, std::min<size_t>(text.size(), 64)));
    if (ini.WriteString(section, "FuzzKey", value)) {
        // Line breaks are stored as blanks, and a read trims and unquotes the value.
        IniFile again(path);
        again.ReadString(section, "FuzzKey");
        if (!again.SectionExists(section))
            std::abort();
    }
    return 0;
}
