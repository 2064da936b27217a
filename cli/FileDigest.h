// SPDX-License-Identifier: GPL-2.0-or-later
// The SHA-256 of a whole file, as the lowercase hex text that sha256sum prints.
#pragma once

#include <string>

namespace lumora::cli {

// Throws "cannot read PATH: ..." when the file cannot be read; an empty file has no
// digest here and is refused the same way.
std::string Sha256HexOfFile(const std::string& path);

} // namespace lumora::cli
