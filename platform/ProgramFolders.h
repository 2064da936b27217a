// SPDX-License-Identifier: GPL-2.0-or-later
// Where the program keeps its files: beside the executable when that folder is
// writable (portable use, the build tree), otherwise in the per-user XDG folders. An
// installed copy, whose data lives in "<prefix>/share/lumora", always uses the XDG folders.
#pragma once

#include <string>

namespace lumora {

// Full path of the running executable (from /proc/self/exe); empty when unknown.
std::string ExecutablePath();

// Folder of the running executable, without a trailing "/"; empty when unknown.
std::string ExecutableFolder();

// The program's folder: the executable's folder, or the override set by tests.
std::string ProgramFolder();

// Folder for the cache root, where working folders go: "<program folder>/cache" when the
// program's folder is writable and only the user may change it; else
// "$XDG_CACHE_HOME/lumora", "<home>/.cache/lumora" ($HOME when it belongs to the user, else
// the home folder of the password database) or "$XDG_RUNTIME_DIR/lumora", the first that
// is set; else, as the last resort, "$TMPDIR/lumora-UID" (TMPDIR by default /tmp), a
// folder of the user's own in a shared one (see OpenCacheRoot).
std::string CacheRoot();

// Folder for the language folder and the settings store: the program's folder when
// writable, else "$XDG_CONFIG_HOME/lumora" (default "~/.config/lumora").
std::string ConfigFolder();

// Tests point the program's folder somewhere else; an empty text restores the default.
void SetProgramFolderOverride(const std::string& folder);

// True when the folder exists and the current user may create files in it.
bool IsWritableFolder(const std::string& folder);

} // namespace lumora
