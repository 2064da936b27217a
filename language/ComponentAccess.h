// SPDX-License-Identifier: GPL-2.0-or-later
// How TMLang reaches the texts and fonts of Qt objects by the property names of the
// language file. TMLang.h describes the mapping.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QObject;

namespace lumora::lang {

enum class ComponentKind { Ordinary, ComboBox, ListView, TreeView, Header, DataGrid, Skipped };

ComponentKind KindOf(const QObject* component);

// Text properties ("Caption" and Qt properties of type QString).
bool HasText(const QObject* component, const QString& name);
QString Text(const QObject* component, const QString& name);
void SetText(QObject* component, const QString& name, const QString& text);

// Text-list properties ("Tabs", "Items" and Qt properties of type QStringList).
bool HasTextList(const QObject* component, const QString& name);
QStringList TextList(const QObject* component, const QString& name);
void SetTextLine(QObject* component, const QString& name, int line, const QString& text);

// Any property the language file can name, texts, text lists and font properties.
bool HasNamedProperty(const QObject* component, const QString& name);

// An indexed text of a list view, tree view, header or data grid, with its key suffix
// ("_ColumnCaption[0]", ...) in the order the texts are translated.
struct IndexedText {
    QString keySuffix;
    QString text;
    int row;    // item, node, section or column
    int column; // column of a list view cell or header; -1 for the header row
};
QList<IndexedText> IndexedTexts(const QObject* component, bool listViewHead, bool listViewItems);
void SetIndexedText(QObject* component, const IndexedText& where, const QString& text);

int ComboSelection(const QObject* component);
void SetComboSelection(QObject* component, int index);

// Fonts. A widget has a font; "FontName", "FontSize" and "FontCharset" are Qt properties
// on any object, set when present. Every widget keeps its character set in
// "FontCharset".
constexpr int kDefaultCharset = 1;
bool HasFont(const QObject* component);
QString FontName(const QObject* component);
int FontSize(const QObject* component);
int FontCharset(const QObject* component);
void SetFontName(QObject* component, const QString& name);
void SetFontSize(QObject* component, int size);
void SetFontCharset(QObject* component, int charset);
// The "FontSize" property when the object has no font; nothing when it has neither.
bool HasFontSize(const QObject* component);

} // namespace lumora::lang
