// SPDX-License-Identifier: GPL-2.0-or-later
// The interface language. Each language has a language file in the user's language folder
// ("lang" in the configuration folder) that names its locale in a section of its own,
// "Language" (keys "Locale", such as "de", and "Name", the language's own name, such as
// "Deutsch"), which the windows' language components do not read. The program uses the
// file chosen in the Language menu, else the one for the first of the system's interface
// languages (LANGUAGE, LC_ALL, LC_MESSAGES, LANG), else English.ini; Qt's own texts
// (file dialogs, Yes and No) follow through Qt's translations.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QCoreApplication;

namespace lumora {

inline constexpr char kDefaultLanguageFile[] = "English.ini";

struct LanguageFile {
    QString fileName; // "German.ini"
    QString locale;   // "de"
    QString name;     // "Deutsch"
};

// The files of the language folder that name their locale, by file name.
QList<LanguageFile> AvailableLanguages();

// The file for the first interface language ("de-AT", "de", as QLocale gives them) that a
// file fits: a file of exactly that locale, else one of the same language. Empty when no
// file fits any of them.
QString FileForLanguages(const QList<LanguageFile>& files, const QStringList& uiLanguages);

// The choice of the Language menu, kept in the settings store; empty: follow the system.
QString ChosenLanguageFile();
void ChooseLanguageFile(const QString& fileName);

// The file the windows use this time: the chosen one while it exists, else the one for
// the system's interface languages, else English.ini.
QString PickLanguageFile();

// Makes every window built from now on use the file, and loads Qt's own translations for
// its locale.
void UseLanguageFile(QCoreApplication& app, const QString& fileName);
// The file the windows use.
QString CurrentLanguageFile();

// Names the locale of English.ini when it does not yet (a file a first run wrote).
void NameDefaultLanguage();

} // namespace lumora
