// SPDX-License-Identifier: GPL-2.0-or-later
// Reads arbitrary bytes as a zip archive: every entry described, checked, extracted and
// copied into a new archive, with no password, with the empty one or with kPassword
// (chosen by the first input byte). Nothing may ever be written outside the extraction
// folder, and an entry that verifies must verify again after it was copied.
#include "archive/EntryName.h"
#include "archive/Unzipper.h"
#include "archive/Zipper.h"
#include "fuzz/FuzzSupport.h"

#include <cstdlib>
#include <filesystem>
#include <vector>

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

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "%s\n", what);
        std::abort();
    }
}

// Everything in the scratch folder besides what the target itself puts there.
void RequireNothingElse(const std::vector<std::string>& ours) {
    for (const auto& entry : std::filesystem::directory_iterator(fuzz::ScratchFolder())) {
        std::string path = entry.path().string();
        bool known = std::find(ours.begin(), ours.end(), path) != ours.end();
        if (!known && entry.path().filename() != "cache") {
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
    std::string copyPath = fuzz::ScratchPath("copy.zip");
    const Password* password = PasswordFor(data[0]);
    {
        CUnzipper unzipper;
        if (unzipper.Open(archive)) {
            unzipper.SetPassword(password);
            // Entries copied into the new archive, and whether each verified before.
            std::vector<bool> copiedIntact;
            bool copyFailed = false;
            CZipper copy(copyPath, std::string(), 0);
            copy.SetPassword(PasswordFor(2));
            int count = std::min(unzipper.EntryCount(), kMaxEntries);
            for (int k = 0; k < count; ++k) {
                ZipEntryInfo info;
                if (!unzipper.EntryInfoAt(k, info))
                    continue;
                if (unzipper.ExtractEntryAt(k, folder) && !info.isFolder)
                    Require(IsSafeEntryName(info.name), "an unsafe name was extracted");
                // Exercised for its faults only: any answer is right for fuzzed bytes.
                static_cast<void>(unzipper.CheckEntryPasswordAt(k));
                bool intact = unzipper.VerifyEntryAt(k) == EntryCheck::Ok;
                // A failed copy leaves the new archive to be given up, as a save does.
                if (!copyFailed && copy.CopyEntryFrom(unzipper, k, password) == EntryCheck::Ok)
                    copiedIntact.push_back(intact);
                else
                    copyFailed = true;
            }
            if (copy.Close() && !copyFailed) {
                CUnzipper reread(copyPath);
                reread.SetPassword(PasswordFor(2));
                Require(reread.EntryCount() == static_cast<int>(copiedIntact.size()),
                        "the copy lost entries");
                for (size_t k = 0; k < copiedIntact.size(); ++k) {
                    if (copiedIntact[k])
                        Require(reread.VerifyEntryAt(static_cast<int>(k)) == EntryCheck::Ok,
                                "an intact entry does not verify after its copy");
                }
            }
            // Going back to an earlier entry after the scan.
            if (count > 1) {
                ZipEntryInfo info;
                static_cast<void>(unzipper.EntryInfoAt(0, info));
            }
        }
    }
    RequireNothingElse({archive, folder, copyPath});
    fuzz::RemovePath(folder);
    fuzz::RemovePath(copyPath);
    return 0;
}
