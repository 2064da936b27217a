// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/ReasonPrinter.h"

namespace lumora {

void PrintTo(Reason reason, std::ostream* out) {
    *out << ReasonName(reason);
}

} // namespace lumora
