// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/SavedCarrier.h"

#include "cli/Carrier.h"
#include "cli/CliError.h"
#include "cli/Json.h"
#include "cli/PerCarrier.h"
#include "cli/Report.h"
#include "cli/SaveCarrier.h"
#include "engine/UnlockedCarrier.h"

namespace lumora::cli {

void ReportSaved(const UnlockedCarrier& session, const OutputTarget& target,
                 const std::string& passwordEstimate) {
    target.Finish();
    const bool hasMessage = session.GetMessageState() != MessageState::None;
    const auto& entries = session.Entries();
    const bool classic = session.Format() == CarrierFormat::Classic;
    const std::string format = FormatName(session.Format());
    Detail("saved " + target.Name() + (classic ? "" : " as a " + format + " carrier") +
           (hasMessage ? " with a message and " : " with ") + std::to_string(entries.size()) +
           (entries.size() == 1 ? " hidden file" : " hidden files"));
    if (!JsonOutput())
        return;
    JsonObject saved;
    saved.String("file", target.Name())
        .String("code", InfoOf(Code::Ok).name)
        .String("format", format)
        .Bool("hasMessage", hasMessage)
        .Raw("entries", EntriesJson(entries));
    if (!passwordEstimate.empty())
        saved.Raw("password", passwordEstimate);
    PrintJson(saved.Text());
}

} // namespace lumora::cli
