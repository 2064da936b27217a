// SPDX-License-Identifier: GPL-2.0-or-later
// What lumora-cli tells besides its results: notes and the files it wrote on stderr
// (silenced by -q), each step with -v, and results as JSON with --json. Text from
// carriers and the file system goes through the terminal quoting of TerminalText.h.
#pragma once

#include <string>

namespace lumora::cli {

enum class Verbosity { Quiet, Normal, Verbose };

void SetReporting(Verbosity verbosity, bool json);
Verbosity CurrentVerbosity();
bool JsonOutput();

// "lumora-cli: TEXT" on stderr unless -q.
void Note(const std::string& text);
// "lumora-cli: warning: TEXT" on stderr, also with -q: what the user must not miss.
void Warn(const std::string& text);
// "lumora-cli: TEXT" on stderr with -v only.
void Detail(const std::string& text);
// A file that was written, one a line on stderr unless -q.
void ReportWritten(const std::string& path);
// One JSON value and a line break on stdout.
void PrintJson(const std::string& json);

} // namespace lumora::cli
