// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/CliError.h"

namespace lumora::cli {

const std::vector<CodeInfo>& Codes() {
    static const std::vector<CodeInfo> codes = {
        {Code::Ok, 0, "ok", "success"},
        {Code::Failure, 1, "failure",
         "failure: a file cannot be read or written, an output exists, a check failed"},
        {Code::Damaged, 1, "damaged", "the hidden data is damaged"},
        {Code::Usage, 2, "usage",
         "usage error: unknown command or option, missing argument, no password source"},
        {Code::WrongPassword, 3, "wrong-password", "wrong password"},
        {Code::NoData, 4, "no-data",
         "the file holds no hidden data, or none that the password opens (for sealed data "
         "the two cannot be told apart)"},
        {Code::Busy, 5, "busy", "another Lumora process is changing the carrier"},
        {Code::NeedsForce, 6, "needs-force",
         "refused without --force: hidden content would be lost, the carrier changed "
         "meanwhile, or the picture would break"},
        {Code::Cancelled, -1, "cancelled",
         "stopped by SIGINT, SIGTERM, SIGHUP or SIGPIPE: the program ends by that signal"},
    };
    return codes;
}

const CodeInfo& InfoOf(Code code) {
    for (const CodeInfo& info : Codes())
        if (info.code == code)
            return info;
    return Codes()[1];
}

} // namespace lumora::cli
