// SPDX-License-Identifier: GPL-2.0-or-later
// The settings store "Lumora.ini" in the configuration folder: the recent images and the
// user's settings (the language chosen, the folders the dialogs last showed).
#pragma once

#include <QString>

namespace lumora {

// Path of the settings store.
QString SettingsStorePath();

// A value of the settings section; empty when missing.
QString ReadSetting(const char* key);
// Writes a value of the settings section; a store that cannot be written is left alone.
void WriteSetting(const char* key, const QString& value);

} // namespace lumora
