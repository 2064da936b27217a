// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-cli's words for the reasons of engine/Reason.h: one line per reason, filled with
// what the status carries. Every error line about an engine failure is made here.
//
// A line may hold %s (the subject), %e (the system's text for the errno), %n (the count),
// %l (the limit as a number), %b (the limit in bytes, as "64 MiB"), %c (the carrier the
// command works on) and %k (what a file that is no picture is, from the count). A part in braces is
// left out when a value it names is missing;
// "{a|b}" gives b instead.
#pragma once

#include "cli/CliError.h"
#include "engine/Outcome.h"

#include <string>

namespace lumora::cli {

// The line of reason, placeholders and all.
const char* ReasonLine(Reason reason);

// The line of status's reason with its values; `carrier` names the carrier where a line
// tells it.
std::string ReasonText(const Status& status, const std::string& carrier = {});

// The result code a failure of this class ends the command with.
Code CodeOf(Outcome outcome);
// The result code status ends the command with: its outcome's, but NeedsForce for an
// existing output (DestinationExists).
Code CodeOf(const Status& status);

// The error that tells a failed status (see ReasonText).
CliError ErrorOf(const Status& status, const std::string& carrier = {});

} // namespace lumora::cli
