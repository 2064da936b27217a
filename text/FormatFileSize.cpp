// SPDX-License-Identifier: GPL-2.0-or-later
#include "text/FormatFileSize.h"

#include <cstdio>

namespace lumora {

std::string FormatFileSize(int64_t size, const std::string& byteWord) {
    char text[64];
    if (size > 1000000000)
        std::snprintf(text, sizeof text, "%.2f GB", static_cast<double>(size) * 1e-9);
    else if (size > 1000000)
        std::snprintf(text, sizeof text, "%.2f MB", static_cast<double>(size) * 1e-6);
    else if (size > 1000)
        std::snprintf(text, sizeof text, "%.2f KB", static_cast<double>(size) * 1e-3);
    else
        return std::to_string(size) + " " + byteWord;
    return text;
}

} // namespace lumora
