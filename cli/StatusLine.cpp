// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/StatusLine.h"

#include <cstdio>

namespace lumora::cli {
namespace {

// What the line shows now; empty when nothing is drawn.
std::string g_shown;

} // namespace

void DrawStatusLine(const std::string& text) {
    if (text.empty() || text == g_shown)
        return;
    std::fprintf(stderr, "\r\033[K%s", text.c_str());
    std::fflush(stderr);
    g_shown = text;
}

void ClearStatusLine() {
    if (g_shown.empty())
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    g_shown.clear();
}

} // namespace lumora::cli
