// SPDX-License-Identifier: GPL-2.0-or-later
#include "workflow/RecentImages.h"

#include "ini/IniFile.h"
#include "platform/ProgramFolders.h"
#include "workflow/SettingsStore.h"

#include <QDir>
#include <string>

namespace lumora {
namespace {

constexpr const char* kSection = "SOFTWARE\\Lumora\\files";

std::string ValueName(int i) {
    return "File" + std::to_string(i);
}

} // namespace

QStringList ReadRecentImages() {
    const IniFile store(SettingsStorePath().toStdString());
    QStringList images;
    for (int i = 0; i < kRecentImageCount; ++i)
        images.append(QString::fromStdString(store.ReadString(kSection, ValueName(i))));
    return images;
}

void WriteRecentImages(const QStringList& images) {
    QDir().mkpath(QString::fromStdString(ConfigFolder()));
    IniFile store(SettingsStorePath().toStdString());
    for (int i = 0; i < kRecentImageCount && i < images.size(); ++i) {
        if (!store.WriteString(kSection, ValueName(i), images[i].toStdString()))
            return;
    }
}

void PutFirst(QStringList& images, const QString& path) {
    images.removeAll(path);
    images.prepend(path);
}

} // namespace lumora
