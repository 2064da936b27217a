// SPDX-License-Identifier: GPL-2.0-or-later
// TMLang: the interface-language component of one window. It applies the language file
// (an INI file with one section per window class) to the texts and fonts of the window's
// components, writes every text it did not find into the file so that a first run
// produces a complete file ready for translation, and serves the window's messages by
// key.
//
// The owner is a form or a frame (any QWidget; both are updated) or a data module (a
// QObject that is not a widget and has no parent, accepted but never updated). A null
// owner, or a non-widget object inside another object (an action, a timer), is refused
// with std::runtime_error("Owner Error!"). A write that fails throws
// std::runtime_error("Unable to write to <path>") and ends the running update.
//
// Keys start with the owner's objectName ("frmMain"); the section is the window class
// given to the constructor ("TfrmMain").
//
// Components, in creation order: the owner's descendants, walked depth first (each
// child, then its own descendants). Children come in the order Qt lists them, which is
// the order they were created in, except that raising or lowering a widget moves it;
// the pages of a stacked widget (and so of a tab widget) come in page order. Objects with an empty
// objectName, Qt's own parts (names starting with "qt_") and TMLang components are not components
// themselves, but their descendants are walked. A descendant widget that has a TMLang of its own is
// not walked into: a frame inside the window is a component of the window (its font is applied), a
// window of its own (a dialog) is left out entirely. Menu items are the QActions found this way.
//
// How the property names of the configuration meet Qt:
//   "Caption"  button text (QAbstractButton), label text (QLabel), group box title,
//              menu item text (QAction), menu title (QMenu), the tab text of a page of a
//              QTabWidget, and the title of a window (the owner when it is a window; a
//              frame inside a window has no caption).
//   "Tabs"     the tab texts of a tab control (QTabBar), as a text list.
//   "Items"    the items of a QComboBox or QListWidget, as a text list.
//   Any other name, or any of these on other objects, is a Qt property (declared or
//   dynamic) of exactly that name, of type QString for a text and QStringList for a
//   text list.
//   Fonts: a widget's own QFont carries name and size. "FontName" (QString), "FontSize"
//   and "FontCharset" (int) are Qt properties, set when the object has them, so objects
//   without a font of their own can take part. Every widget keeps its character set as
//   the dynamic property "FontCharset" (1 when unset); Qt has no character sets, so the
//   number does not change how text is drawn. A negative font size is a size in pixels;
//   sizes beyond 500 are taken as 500.
//
// Kinds of components:
//   list view    QTableWidget, or QTreeWidget without root decoration (a flat list):
//                columns "_ColumnCaption[i]", row i "_ItemCaption[i]" (column 0) and its
//                sub-items "_SubItem[i]Caption[j]" (column j + 1).
//   tree view    QTreeWidget with root decoration: column 0 of every item, depth first,
//                "_ItemText[i]".
//   header       a QHeaderView component: its model's section texts, "_SectionsText[i]".
//   data grid    any other QTableView: its model's column titles, "_ColumnsCaption[i]".
//   combo box    QComboBox: its selected index survives the translation of its items.
//   timer, splitter  QTimer and QSplitter: fonts only, no texts.
//
// Values read from the file lose one pair of "<" and ">" (so blanks at either end can
// survive). Values are written wrapped in "<" and ">" when AddBracket is on, and also
// whenever they would otherwise not read back unchanged (blanks at an end, or a text
// that is itself enclosed in "<" ">" or in double quotes).
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class QAction;
class QWidget;

namespace lumora {

class IniFile;

class TMLang : public QObject {
    Q_OBJECT

public:
    // windowClass names the owner's section in the language file, e.g. "TfrmMain".
    TMLang(QObject* owner, const QString& windowClass);
    ~TMLang() override;

    // Configuration, set by the window in this order with ActiveNow last. Each setter
    // except SetAddBracket runs the update (only while ActiveNow is on).
    //
    // The language file: a name starting with "/" is the path; any other name is taken
    // relative to ConfigFolder(). Its folder is created; an empty name opens no file.
    void SetLangFileName(const QString& name);
    void SetIgnoreEmptyString(bool on);
    void SetAutoCreateMode(bool on);
    void SetAddBracket(bool on);
    void SetStringProperties(const QStringList& names);
    void SetStringsProperties(const QStringList& names);
    void SetIgnoreControls(const QStringList& names);
    void SetSaveFontSizeCtrls(const QStringList& names);
    void SetIgnoreFormCaption(bool on);
    void SetIncludeListViewItems(bool on);
    void SetIncludeListViewHead(bool on);
    void SetIncludeTreeViewItems(bool on);
    // Lines of a key, "=" and the built-in text.
    void SetStrList(const QStringList& lines);
    void SetActiveNow(bool on);

    // The configured LangFileName, not the resolved path.
    QString GetFileName() const { return m_langFileName; }
    // The resolved path of the language file; empty while no file is open.
    QString LangFilePath() const;
    QString WindowClass() const { return m_windowClass; }
    bool IgnoreEmptyString() const { return m_ignoreEmptyString; }
    bool AutoCreateMode() const { return m_autoCreateMode; }
    bool AddBracket() const { return m_addBracket; }
    QStringList StringProperties() const { return m_stringProperties; }
    QStringList StringsProperties() const { return m_stringsProperties; }
    QStringList IgnoreControls() const { return m_ignoreControls; }
    QStringList SaveFontSizeCtrls() const { return m_saveFontSizeCtrls; }
    bool IgnoreFormCaption() const { return m_ignoreFormCaption; }
    bool IncludeListViewItems() const { return m_includeListViewItems; }
    bool IncludeListViewHead() const { return m_includeListViewHead; }
    bool IncludeTreeViewItems() const { return m_includeTreeViewItems; }
    QStringList StrList() const { return m_strList; }
    bool ActiveNow() const { return m_activeNow; }

    // Runs the update when ActiveNow is on.
    void UpdateLangRes();

    // The message for a key: the message list's text or the file's, the key itself when
    // neither has one; "\n" becomes a line break. May write the key into the file.
    QString GetResString(const QString& key);
    // A key of any section of the file, the key itself when it has no value there.
    QString GetResString(const QString& key, const QString& section) const;
    // The text of line index of the message list; empty outside the list.
    QString GetResString(int index);
    // Writes a message key with a value unless the window's section already has it.
    void AddResString(const QString& key, const QString& value);
    // Removes a section from the file; errors are ignored.
    void UnRegister(const QString& section);
    // Translates a menu item's text and those of its sub-items, depth first.
    void RegisterMenuItem(QAction* item);

    // Whether a component has a property of this name, in the sense of the mapping above.
    static bool IsHasProperty(const QObject* component, const QString& name);
    // Removes one enclosing "<" ">" pair.
    static QString ProcessedStr(const QString& text);
    // Encloses a text in "<" ">".
    static QString UnProcessedStr(const QString& text);
    // Every backslash directly followed by "n" becomes CR and the "n" LF.
    static QString TreatString(const QString& text);

private:
    void DoUpdateLangRes();
    void UpdateWindowFont(QWidget* window);
    void UpdateWindowTexts();
    void UpdateComponent(QObject* component);
    void ApplyComponentFont(QObject* component);
    void TranslateOrdinary(QObject* component);
    void TranslateMessages();

    // Translates one text with key and current text; returns the text to use.
    QString TranslateText(const QString& key, const QString& current);
    QString LookUpMessage(const QString& key, const QString& builtIn);

    QString ReadValue(const QString& key) const;
    int ReadNumber(const QString& key, int defaultValue) const;
    void WriteText(const QString& key, const QString& text);
    void WriteValue(const QString& key, const QString& value);
    void WriteNumber(const QString& key, int value);
    QString EncodeForFile(const QString& text) const;

    QString OwnerName() const;
    bool IsUpdatable() const;

    QObject* m_owner;
    QString m_windowClass;
    QString m_langFileName = QStringLiteral("English.ini");
    std::unique_ptr<IniFile> m_file;
    bool m_ignoreEmptyString = false;
    bool m_autoCreateMode = true;
    bool m_addBracket = false;
    QStringList m_stringProperties{QStringLiteral("Caption")};
    QStringList m_stringsProperties{QStringLiteral("Tabs"), QStringLiteral("Items")};
    QStringList m_ignoreControls;
    QStringList m_saveFontSizeCtrls;
    bool m_ignoreFormCaption = false;
    bool m_includeListViewItems = false;
    bool m_includeListViewHead = false;
    bool m_includeTreeViewItems = false;
    QStringList m_strList;
    bool m_activeNow = false;
    bool m_updating = false;
};

// The language file of every window: "lang/English.ini" unless the program chose another
// file of that folder at start-up ("lang/German.ini").
QString WindowLanguageFile();
void SetWindowLanguageFile(const QString& name);

// A component with the settings every window of the program shares: the language file
// WindowLanguageFile(), empty texts never written, missing texts and fonts written, no
// brackets, "Caption" texts and the "Tabs" and "Items" lists. The window adds its own.
TMLang* CreateWindowLang(QObject* owner, const QString& windowClass);

} // namespace lumora
