// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

namespace lumora {
class UnlockedCarrier;
}

namespace lumora::cli {

class OutputTarget;

// After a save: sends the carrier to stdout when that is the target, and tells what it
// holds (with -v, or as JSON with --json).
void ReportSaved(const UnlockedCarrier& session, const OutputTarget& target);

} // namespace lumora::cli
