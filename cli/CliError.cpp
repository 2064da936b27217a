// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/CliError.h"

namespace lumora::cli {

const std::vector<CodeInfo>& Codes() {
    static const std::vector<CodeInfo> codes = {
        {Code::Ok, 0, "ok", "success"},
        {Code::Failure, 1, "failure", "failure: a file cannot be read or written, a check failed"},
        {Code::Damaged, 1, "damaged", "the hidden data is damaged"},
        {Code::Usage, 2, "usage",
         "usage error: unknown command or option, missing argument, no password source"},
        {Code::WrongPassword, 3, "wrong-password", "wrong password"},
        {Code::NoData, 4, "no-data",
         "the file holds no hidden data, or none that the password opens (for sealed data "
         "the two cannot be told apart)"},
        {Code::Busy, 5, "busy", "another Lumora process is changing the carrier"},
        {Code::NeedsForce, 6, "needs-force",
         "refused without --force (or --keep-damaged, --drop-damaged): hidden content would "
         "be lost or is damaged, the carrier changed meanwhile, the picture would break, an "
         "output exists, or a password that cannot be proved whole was not typed twice"},
        {Code::PartlyDamaged, 7, "partly-damaged",
         "partly damaged: everything intact was written, the damaged hidden files were not"},
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
