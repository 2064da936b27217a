// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/DefaultLanguage.h"

#include "platform/ProgramFolders.h"

#include <filesystem>

namespace lumora {

void CopyDefaultLanguageFile() {
    namespace fs = std::filesystem;
    const fs::path target = fs::path(ConfigFolder()) / "lang" / "English.ini";
    const fs::path shipped =
        fs::path(ProgramFolder()) / ".." / "share" / "lumora" / "lang" / "English.ini";
    std::error_code ec;
    if (fs::exists(target, ec) || !fs::is_regular_file(shipped, ec))
        return;
    fs::create_directories(target.parent_path(), ec);
    // Failing here only means the program writes the file itself, as on any first run.
    fs::copy_file(shipped, target, fs::copy_options::skip_existing, ec);
}

} // namespace lumora
