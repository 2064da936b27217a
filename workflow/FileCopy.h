// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>

namespace lumora {

// Copies a file over another. The target is replaced only once the copy is complete, so
// a failed copy leaves it as it was; copying a file onto itself does nothing.
bool CopyFileReplacing(const QString& from, const QString& to);

} // namespace lumora
