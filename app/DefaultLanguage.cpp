// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/DefaultLanguage.h"

#include "platform/ProgramFolders.h"

#include <filesystem>

namespace lumora {

void CopyDefaultLanguageFiles() {
    namespace fs = std::filesystem;
    const fs::path targetFolder = fs::path(ConfigFolder()) / "lang";
    const fs::path shippedFolder = fs::path(ProgramFolder()) / ".." / "share" / "lumora" / "lang";
    std::error_code ec;
    for (const fs::directory_entry& shipped : fs::directory_iterator(shippedFolder, ec)) {
        if (shipped.path().extension() != ".ini" || !shipped.is_regular_file(ec))
            continue;
        const fs::path target = targetFolder / shipped.path().filename();
        if (fs::exists(target, ec))
            continue;
        fs::create_directories(targetFolder, ec);
        // Failing here only means the program writes the file itself, as on any first run.
        fs::copy_file(shipped.path(), target, fs::copy_options::skip_existing, ec);
    }
}

} // namespace lumora
