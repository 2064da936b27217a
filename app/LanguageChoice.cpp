// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/LanguageChoice.h"

#include "ini/IniFile.h"
#include "language/TMLang.h"
#include "platform/ProgramFolders.h"
#include "workflow/SettingsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace lumora {
namespace {

constexpr const char* kLanguageSection = "Language";
constexpr const char* kSettingKey = "Language";

QString LanguageFolder() {
    return QString::fromStdString(ConfigFolder()) + QStringLiteral("/lang");
}

QString ReadLanguageKey(const QString& fileName, const char* key) {
    const IniFile file((LanguageFolder() + u'/' + fileName).toStdString());
    return QString::fromStdString(file.ReadString(kLanguageSection, key));
}

// "de_DE" and "de-de" alike, for comparing.
QString Normalised(QString locale) {
    return locale.replace(u'_', u'-').toLower();
}

QString LanguagePart(const QString& locale) {
    return Normalised(locale).section(u'-', 0, 0);
}

} // namespace

QList<LanguageFile> AvailableLanguages() {
    QList<LanguageFile> files;
    const QStringList names =
        QDir(LanguageFolder()).entryList({QStringLiteral("*.ini")}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        const QString locale = ReadLanguageKey(name, "Locale");
        if (locale.isEmpty())
            continue;
        const QString shown = ReadLanguageKey(name, "Name");
        files.append({name, locale, shown.isEmpty() ? locale : shown});
    }
    return files;
}

QString FileForLanguages(const QList<LanguageFile>& files, const QStringList& uiLanguages) {
    for (const QString& wanted : uiLanguages) {
        for (const LanguageFile& file : files) {
            if (Normalised(file.locale) == Normalised(wanted))
                return file.fileName;
        }
        for (const LanguageFile& file : files) {
            if (LanguagePart(file.locale) == LanguagePart(wanted))
                return file.fileName;
        }
    }
    return QString();
}

QString ChosenLanguageFile() {
    return ReadSetting(kSettingKey);
}

void ChooseLanguageFile(const QString& fileName) {
    WriteSetting(kSettingKey, fileName);
}

QString PickLanguageFile() {
    const QList<LanguageFile> files = AvailableLanguages();
    const QString chosen = ChosenLanguageFile();
    for (const LanguageFile& file : files) {
        if (file.fileName == chosen)
            return chosen;
    }
    const QString fitting = FileForLanguages(files, QLocale::system().uiLanguages());
    return fitting.isEmpty() ? QString::fromLatin1(kDefaultLanguageFile) : fitting;
}

void UseLanguageFile(QCoreApplication& app, const QString& fileName) {
    SetWindowLanguageFile(QStringLiteral("lang/") + fileName);
    const QString locale = ReadLanguageKey(fileName, "Locale");
    if (locale.isEmpty())
        return;
    // The system's own locale stays when it speaks the language (en_GB for English).
    if (LanguagePart(QLocale::system().name()) != LanguagePart(locale))
        QLocale::setDefault(QLocale(locale));
    const QString qtTranslations = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(locale), QStringLiteral("qtbase"), QStringLiteral("_"),
                         qtTranslations))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}

QString CurrentLanguageFile() {
    return QFileInfo(WindowLanguageFile()).fileName();
}

void NameDefaultLanguage() {
    const QString path = LanguageFolder() + u'/' + QLatin1String(kDefaultLanguageFile);
    if (!QFileInfo::exists(path))
        return;
    IniFile file(path.toStdString());
    if (!file.ReadString(kLanguageSection, "Locale").empty())
        return;
    // A file that cannot be written is only left out of the choice of languages; the
    // windows still read their texts from it.
    static_cast<void>(file.WriteString(kLanguageSection, "Locale", "en"));
    static_cast<void>(file.WriteString(kLanguageSection, "Name", "English"));
}

} // namespace lumora
