// SPDX-License-Identifier: GPL-2.0-or-later
#include "workflow/SettingsStore.h"

#include "ini/IniFile.h"
#include "platform/ProgramFolders.h"

#include <QDir>

namespace lumora {
namespace {

constexpr const char* kSection = "SOFTWARE\\Lumora\\settings";

} // namespace

QString SettingsStorePath() {
    return QString::fromStdString(ConfigFolder()) + QStringLiteral("/Lumora.ini");
}

QString ReadSetting(const char* key) {
    const IniFile store(SettingsStorePath().toStdString());
    return QString::fromStdString(store.ReadString(kSection, key));
}

void WriteSetting(const char* key, const QString& value) {
    QDir().mkpath(QString::fromStdString(ConfigFolder()));
    IniFile store(SettingsStorePath().toStdString());
    // Settings are a convenience: a store that cannot be written costs only the setting.
    static_cast<void>(store.WriteString(kSection, key, value.toStdString()));
}

} // namespace lumora
