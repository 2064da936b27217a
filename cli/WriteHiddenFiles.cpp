// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/WriteHiddenFiles.h"

#include "cli/Carrier.h"
#include "cli/Interrupt.h"
#include "cli/Json.h"
#include "cli/Report.h"
#include "engine/FolderExtraction.h"

namespace lumora::cli {

std::vector<std::string> WriteHiddenFiles(UnlockedCarrier& carrier,
                                          const std::vector<HiddenEntry>& entries,
                                          const std::string& folder, bool replace,
                                          bool skipDamaged) {
    FolderOutput output;
    output.folder = folder;
    output.replace = replace;
    output.skipDamaged = skipDamaged;
    ThrowIfFailed(TargetsByName(entries, output.targets));
    for (const HiddenEntry& entry : entries)
        output.entries.push_back(entry.index);
    output.stopped = [] { return PendingSignal() != 0; };
    std::vector<std::string> written;
    output.placed = [&](size_t i, const std::string& path) {
        if (output.targets[i] != entries[i].name)
            Note("another hidden file is named " + entries[i].name + "; this one was written as " +
                 output.targets[i]);
        ReportWritten(path);
        written.push_back(JsonObject().String("name", entries[i].name).String("path", path).Text());
    };
    const Status extracted = ExtractToFolder(carrier, output);
    // Left out, the damaged files are the caller's to tell.
    if (!(skipDamaged && extracted.Outcome() == Outcome::Damaged && carrier.IsUnlocked()))
        ThrowIfFailed(extracted);
    return written;
}

} // namespace lumora::cli
