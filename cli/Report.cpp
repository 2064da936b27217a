// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/Report.h"

#include "cli/StatusLine.h"
#include "cli/TerminalText.h"

#include <cstdio>

namespace lumora::cli {
namespace {

Verbosity g_verbosity = Verbosity::Normal;
bool g_json = false;

void Line(const std::string& text) {
    ClearStatusLine();
    std::string line = "lumora-cli: " + Shown(text, TextKind::Line, Stream::Err) + "\n";
    std::fputs(line.c_str(), stderr);
}

} // namespace

void SetReporting(Verbosity verbosity, bool json) {
    g_verbosity = verbosity;
    g_json = json;
}

Verbosity CurrentVerbosity() {
    return g_verbosity;
}

bool JsonOutput() {
    return g_json;
}

void Note(const std::string& text) {
    if (g_verbosity != Verbosity::Quiet)
        Line(text);
}

void Detail(const std::string& text) {
    if (g_verbosity == Verbosity::Verbose)
        Line(text);
}

void ReportWritten(const std::string& path) {
    if (g_verbosity == Verbosity::Quiet)
        return;
    ClearStatusLine();
    std::string line = Shown(path, TextKind::Name, Stream::Err) + "\n";
    std::fputs(line.c_str(), stderr);
}

void PrintJson(const std::string& json) {
    std::fputs(json.c_str(), stdout);
    std::fputc('\n', stdout);
}

} // namespace lumora::cli
