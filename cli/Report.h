// SPDX-License-Identifier: GPL-2.0-or-later
// What lumora-cli tells besides its results: notes and the files it wrote on stderr
// (silenced by -q), each step with -v, and results as JSON with --json. Text from
// carriers and the file system goes through the terminal quoting of TerminalText.h.
#pragma once

#include <optional>
#include <string>

namespace lumora::cli {

enum class Verbosity { Quiet, Normal, Verbose };

void SetReporting(Verbosity verbosity, bool json);
Verbosity CurrentVerbosity();
bool JsonOutput();
// The file a command's result is about, which its JSON error object names ("file");
// none gives null.
void SetResultFile(std::optional<std::string> file);
const std::optional<std::string>& ResultFile();

// "lumora-cli: TEXT" on stderr unless -q.
void Note(const std::string& text);
// "lumora-cli: TEXT" on stderr, also with -q: an error that does not end the command.
void Warn(const std::string& text);
// "lumora-cli: TEXT" on stderr with -v only.
void Detail(const std::string& text);
// A file that was written, one a line on stderr unless -q.
void ReportWritten(const std::string& path);
// One JSON value and a line break on stdout.
void PrintJson(const std::string& json);

} // namespace lumora::cli
