// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>

namespace lumora {
class UnlockedCarrier;
}

namespace lumora::cli {

class OutputTarget;

// After a save: sends the carrier to stdout when that is the target, and tells what it
// holds (with -v, or as JSON with --json). `passwordEstimate`, the JSON object of a new
// password's estimate (cli/PasswordWarning.h), goes into the JSON as "password".
void ReportSaved(const UnlockedCarrier& session, const OutputTarget& target,
                 const std::string& passwordEstimate = {});

} // namespace lumora::cli
