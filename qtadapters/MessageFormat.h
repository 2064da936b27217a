// SPDX-License-Identifier: GPL-2.0-or-later
// C-style message formats from the language file ("Image File Size: %s"), filled safely:
// the format comes from a file anyone can edit, so it is never handed to printf.
#pragma once

#include <QString>

namespace lumora {

// Replaces the first conversion ("%s", "%d", with optional flags and width, such as
// "%5d") with the value and "%%" with "%". Any further conversion has no value and is
// kept as written.
QString FormatMessage(const QString& format, const QString& value);
QString FormatMessage(const QString& format, long long value);

} // namespace lumora
