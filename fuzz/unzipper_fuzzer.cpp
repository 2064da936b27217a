// SPDX-License-Identifier: GPL-2.0-or-later
// Reads arbitrary bytes as a zip archive: every entry described and extracted, with no
// password, with the empty one or with kPassword (chosen by the first input byte).
// Nothing may ever be written outside the extraction folder.
#include "archive/EntryName.h"
#include "archive/Unzipper.h"
#include "fuzz/FuzzSupport.h"

#include <cstdlib>
#include <filesystem>

using namespace lumora;

namespace {

constexpr int kMaxEntries = 256;

const Password* PasswordFor(uint8_t choice) {
    static const Password empty;
    static const Password known{std::string_view(fuzz::kPassword)};
    switch (choice % 3) {
    case 0:
        return nullptr;
    case 1:
        return &empty;
    default:
        return &known;
    }
}

// Everything in the scratch folder besides what the target itself puts there.
void RequireNothingElse(const std::string& archive, const std::string& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(fuzz::ScratchFolder())) {
        std::string path = entry.path().string();
        if (path != archive && path != folder && entry.path().filename() != "cache") {
            std::fprintf(stderr, "written outside the extraction folder: %s\n", path.c_str());
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    std::string archive = fuzz::WriteInput("archive.zip", data + 1, size - 1);
    std::string folder = fuzz::ScratchPath("out");
    {
        CUnzipper unzipper;
        if (unzipper.Open(archive)) {
            unzipper.SetPassword(PasswordFor(data[0]));
            int count = std::min(unzipper.EntryCount(), kMaxEntries);
            for (int k = 0; k < count; ++k) {
                ZipEntryInfo info;
                if (!unzipper.EntryInfoAt(k, info))
                    continue;
                if (unzipper.ExtractEntryAt(k, folder) && !info.isFolder &&
                    !IsSafeEntryName(info.name))
                    std::abort(); // an unsafe name was extracted
            }
            // Going back to an earlier entry after the scan.
            if (count > 1) {
                ZipEntryInfo info;
                unzipper.EntryInfoAt(0, info);
            }
        }
    }
    RequireNothingElse(archive, folder);
    fuzz::RemovePath(folder);
    return 0;
}
