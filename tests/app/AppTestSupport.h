// SPDX-License-Identifier: GPL-2.0-or-later
// Common ground of the desktop program's tests: a temporary program folder (so the
// language file lands there), scripted dialogs, and the theme.
#pragma once

#include "support/ScriptedDialogs.h"
#include "support/TestFiles.h"

#include <QImage>
#include <QString>
#include <memory>

namespace lumora::test {

class AppTestEnvironment {
public:
    AppTestEnvironment();
    ~AppTestEnvironment();
    AppTestEnvironment(const AppTestEnvironment&) = delete;
    AppTestEnvironment& operator=(const AppTestEnvironment&) = delete;

    ScriptedDialogs& Dialogs() { return m_dialogs; }
    const std::string& Folder() const { return m_folder.Path(); }
    QString PathOf(const QString& name) const;
    QString LanguageFile() const { return PathOf(QStringLiteral("lang/English.ini")); }

    // A picture file of the given size, in the format named by the name's extension.
    QString WritePicture(const QString& name, int width, int height,
                         Qt::GlobalColor colour = Qt::darkCyan) const;

private:
    TempDir m_folder;
    ScriptedDialogs m_dialogs;
};

// Section names of an INI file in the order they appear.
QStringList SectionsOf(const QString& iniPath);

// The reference carrier the window tests open (a file, no message), and its password.
inline constexpr const char* kOpenedCarrier = "zero-check-record.png";
QString OpenedCarrierPassword();

} // namespace lumora::test
