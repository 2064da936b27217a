// SPDX-License-Identifier: GPL-2.0-or-later
#include "language/TMLang.h"

#include "ini/IniFile.h"
#include "language/ComponentAccess.h"
#include "platform/ProgramFolders.h"

#include <QAction>
#include <QMenu>
#include <QStackedWidget>
#include <QWidget>

#include <filesystem>
#include <stdexcept>

namespace lumora {
namespace {

const QString kCaption = QStringLiteral("Caption");

// Forms and frames are widgets; a data module is a free-standing non-widget object.
bool IsAcceptedOwner(const QObject* owner) {
    return owner != nullptr && (owner->isWidgetType() || owner->parent() == nullptr);
}

QString ClassNameWithoutNamespace(const QObject* object) {
    QString name = QString::fromLatin1(object->metaObject()->className());
    qsizetype separator = name.lastIndexOf(QStringLiteral("::"));
    return separator < 0 ? name : name.mid(separator + 2);
}

bool IsComponentName(const QString& name) {
    return !name.isEmpty() && !name.startsWith(QStringLiteral("qt_"));
}

bool HasOwnLanguage(const QObject* object) {
    return object->findChild<TMLang*>(QString(), Qt::FindDirectChildrenOnly) != nullptr;
}

// Children in creation order as far as Qt keeps it: showing a page of a stacked widget
// raises it to the end of the list, so pages are taken in page order.
QObjectList ChildrenInOrder(const QObject* parent) {
    auto* stack = qobject_cast<const QStackedWidget*>(parent);
    if (stack == nullptr)
        return parent->children();
    QObjectList ordered;
    for (int i = 0; i < stack->count(); ++i)
        ordered.append(stack->widget(i));
    for (QObject* child : parent->children()) {
        if (!ordered.contains(child))
            ordered.append(child);
    }
    return ordered;
}

void CollectComponents(const QObject* parent, QList<QObject*>& components) {
    const QObjectList children = ChildrenInOrder(parent);
    for (QObject* child : children) {
        if (qobject_cast<TMLang*>(child))
            continue;
        bool ownLanguage = child->isWidgetType() && HasOwnLanguage(child);
        if (ownLanguage && static_cast<QWidget*>(child)->isWindow())
            continue; // a window of its own, translated by its own component
        if (IsComponentName(child->objectName()))
            components.append(child);
        if (!ownLanguage)
            CollectComponents(child, components);
    }
}

std::string Utf8(const QString& text) {
    return text.toStdString();
}

// Sets a text only when it changes, to spare widgets needless relayouts.
void ReplaceText(QObject* component, const QString& name, const QString& oldText,
                 const QString& newText) {
    if (newText != oldText)
        lang::SetText(component, name, newText);
}

class UpdatingScope {
public:
    explicit UpdatingScope(bool& flag) : m_flag(flag) { m_flag = true; }
    ~UpdatingScope() { m_flag = false; }
    UpdatingScope(const UpdatingScope&) = delete;
    UpdatingScope& operator=(const UpdatingScope&) = delete;

private:
    bool& m_flag;
};

// Keeps the file's writes in one batch until End, or until an error leaves the scope.
class WriteBatch {
public:
    explicit WriteBatch(IniFile& file) : m_file(file) { m_file.BeginBatch(); }
    // Left by an error, which is what the caller hears of; the file is written as far as
    // it can be.
    ~WriteBatch() {
        if (m_open)
            static_cast<void>(m_file.EndBatch());
    }
    WriteBatch(const WriteBatch&) = delete;
    WriteBatch& operator=(const WriteBatch&) = delete;
    bool End() {
        m_open = false;
        return m_file.EndBatch();
    }

private:
    IniFile& m_file;
    bool m_open = true;
};

} // namespace

TMLang::TMLang(QObject* owner, const QString& windowClass)
    : QObject(owner), m_owner(owner), m_windowClass(windowClass) {
    if (!IsAcceptedOwner(owner))
        throw std::runtime_error("Owner Error!");
    if (m_windowClass.isEmpty())
        m_windowClass = ClassNameWithoutNamespace(owner);
}

TMLang::~TMLang() = default;

void TMLang::SetLangFileName(const QString& name) {
    m_langFileName = name;
    m_file.reset();
    if (!name.isEmpty()) {
        std::string path =
            name.startsWith(QLatin1Char('/')) ? Utf8(name) : ConfigFolder() + "/" + Utf8(name);
        std::string folder = path.substr(0, path.rfind('/') + 1);
        std::error_code ignored;
        std::filesystem::create_directories(folder, ignored);
        m_file = std::make_unique<IniFile>(path);
    }
    UpdateLangRes();
}

QString TMLang::LangFilePath() const {
    return m_file ? QString::fromStdString(m_file->Path()) : QString();
}

void TMLang::SetIgnoreEmptyString(bool on) {
    m_ignoreEmptyString = on;
    UpdateLangRes();
}

void TMLang::SetAutoCreateMode(bool on) {
    m_autoCreateMode = on;
    UpdateLangRes();
}

void TMLang::SetAddBracket(bool on) {
    m_addBracket = on;
}

void TMLang::SetStringProperties(const QStringList& names) {
    m_stringProperties = names;
    UpdateLangRes();
}

void TMLang::SetStringsProperties(const QStringList& names) {
    m_stringsProperties = names;
    UpdateLangRes();
}

void TMLang::SetIgnoreControls(const QStringList& names) {
    m_ignoreControls = names;
    UpdateLangRes();
}

void TMLang::SetSaveFontSizeCtrls(const QStringList& names) {
    m_saveFontSizeCtrls = names;
    UpdateLangRes();
}

void TMLang::SetIgnoreFormCaption(bool on) {
    m_ignoreFormCaption = on;
    UpdateLangRes();
}

void TMLang::SetIncludeListViewItems(bool on) {
    m_includeListViewItems = on;
    UpdateLangRes();
}

void TMLang::SetIncludeListViewHead(bool on) {
    m_includeListViewHead = on;
    UpdateLangRes();
}

void TMLang::SetIncludeTreeViewItems(bool on) {
    m_includeTreeViewItems = on;
    UpdateLangRes();
}

void TMLang::SetStrList(const QStringList& lines) {
    m_strList = lines;
    if (!m_updating)
        UpdateLangRes();
}

void TMLang::SetActiveNow(bool on) {
    m_activeNow = on;
    UpdateLangRes();
}

void TMLang::UpdateLangRes() {
    if (m_activeNow)
        DoUpdateLangRes();
}

bool TMLang::IsUpdatable() const {
    return m_file && m_owner->isWidgetType();
}

QString TMLang::OwnerName() const {
    return m_owner->objectName();
}

void TMLang::DoUpdateLangRes() {
    if (!IsUpdatable())
        return;
    // The keys a first run adds are written together when the update ends.
    WriteBatch batch(*m_file);
    UpdateWindowFont(static_cast<QWidget*>(m_owner));
    UpdateWindowTexts();
    QList<QObject*> components;
    CollectComponents(m_owner, components);
    for (QObject* component : components)
        UpdateComponent(component);
    TranslateMessages();
    if (!batch.End())
        throw std::runtime_error("Unable to write to " + m_file->Path());
}

void TMLang::UpdateWindowFont(QWidget* window) {
    const QString nameKey = OwnerName() + "_FontName";
    QString name = ReadValue(nameKey);
    if (!name.isEmpty())
        lang::SetFontName(window, ProcessedStr(name));
    else if (m_autoCreateMode)
        WriteValue(nameKey, lang::FontName(window));

    const QString sizeKey = OwnerName() + "_FontSize";
    int size = ReadNumber(sizeKey, 0);
    if (size != 0)
        lang::SetFontSize(window, size);
    else if (m_autoCreateMode)
        WriteNumber(sizeKey, lang::FontSize(window));

    const QString charsetKey = OwnerName() + "_FontCharset";
    int charset = ReadNumber(charsetKey, -1);
    if (charset != -1)
        lang::SetFontCharset(window, charset);
    else if (m_autoCreateMode)
        WriteNumber(charsetKey, lang::FontCharset(window));
}

void TMLang::UpdateWindowTexts() {
    for (const QString& property : std::as_const(m_stringProperties)) {
        if (m_ignoreFormCaption && property == kCaption)
            continue;
        if (!lang::HasText(m_owner, property))
            continue;
        QString text = lang::Text(m_owner, property);
        ReplaceText(m_owner, property, text, TranslateText(OwnerName() + "_" + property, text));
    }
    for (const QString& property : std::as_const(m_stringsProperties)) {
        if (!lang::HasTextList(m_owner, property))
            continue;
        const QStringList lines = lang::TextList(m_owner, property);
        for (int i = 0; i < lines.size(); ++i) {
            QString key = QStringLiteral("%1_%2[%3]").arg(OwnerName(), property).arg(i);
            lang::SetTextLine(m_owner, property, i, TranslateText(key, lines[i]));
        }
    }
}

void TMLang::UpdateComponent(QObject* component) {
    ApplyComponentFont(component);
    lang::ComponentKind kind = lang::KindOf(component);
    if (kind == lang::ComponentKind::Skipped)
        return;
    if (m_ignoreControls.contains(component->objectName(), Qt::CaseSensitive))
        return;
    bool indexed = kind == lang::ComponentKind::ListView || kind == lang::ComponentKind::Header ||
                   kind == lang::ComponentKind::DataGrid ||
                   (kind == lang::ComponentKind::TreeView && m_includeTreeViewItems);
    if (!indexed)
        return TranslateOrdinary(component);
    const QList<lang::IndexedText> texts =
        lang::IndexedTexts(component, m_includeListViewHead, m_includeListViewItems);
    for (const lang::IndexedText& text : texts) {
        QString translated = TranslateText(component->objectName() + text.keySuffix, text.text);
        if (translated != text.text)
            lang::SetIndexedText(component, text, translated);
    }
}

void TMLang::TranslateOrdinary(QObject* component) {
    const QString name = component->objectName();
    const bool isCombo = lang::KindOf(component) == lang::ComponentKind::ComboBox;
    const int selection = isCombo ? lang::ComboSelection(component) : -1;
    for (const QString& property : std::as_const(m_stringProperties)) {
        if (!lang::HasText(component, property))
            continue;
        QString text = lang::Text(component, property);
        ReplaceText(component, property, text, TranslateText(name + "_" + property, text));
    }
    for (const QString& property : std::as_const(m_stringsProperties)) {
        if (!lang::HasTextList(component, property))
            continue;
        const QStringList lines = lang::TextList(component, property);
        for (int i = 0; i < lines.size(); ++i) {
            QString key = QStringLiteral("%1_%2[%3]").arg(name, property).arg(i);
            QString translated = TranslateText(key, lines[i]);
            if (translated != lines[i])
                lang::SetTextLine(component, property, i, translated);
        }
    }
    if (isCombo)
        lang::SetComboSelection(component, selection);
}

void TMLang::ApplyComponentFont(QObject* component) {
    const QString name = component->objectName();
    const QString window = OwnerName();

    QString fontName = ReadValue(name + "_FontName");
    if (fontName.isEmpty())
        fontName = ReadValue(window + "_FontName");
    if (!fontName.isEmpty())
        lang::SetFontName(component, ProcessedStr(fontName));

    int size = ReadNumber(name + "_FontSize", 0);
    if (size == 0 && m_saveFontSizeCtrls.contains(name, Qt::CaseSensitive)) {
        if (m_autoCreateMode && lang::HasFontSize(component))
            WriteNumber(name + "_FontSize", lang::FontSize(component));
    } else {
        if (size == 0)
            size = ReadNumber(window + "_FontSize", 0);
        if (size != 0)
            lang::SetFontSize(component, size);
    }

    int charset = ReadNumber(name + "_FontCharset", -1);
    if (charset == -1)
        charset = ReadNumber(window + "_FontCharset", -1);
    if (charset != -1)
        lang::SetFontCharset(component, charset);
}

void TMLang::TranslateMessages() {
    UpdatingScope scope(m_updating);
    for (QString& line : m_strList) {
        int equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        QString key = line.left(equals);
        QString result = LookUpMessage(key, line.mid(equals + 1));
        if (!result.isEmpty())
            line = key + "=" + result;
    }
}

QString TMLang::TranslateText(const QString& key, const QString& current) {
    QString value = ReadValue(key);
    if (!value.isEmpty())
        return ProcessedStr(value);
    if (m_autoCreateMode && (!current.isEmpty() || !m_ignoreEmptyString))
        WriteText(key, current);
    return current;
}

QString TMLang::LookUpMessage(const QString& key, const QString& builtIn) {
    if (!m_file)
        return QString();
    QString value = ReadValue(key);
    if (!value.isEmpty())
        return ProcessedStr(value);
    if (m_autoCreateMode && (!builtIn.isEmpty() || !m_ignoreEmptyString))
        WriteText(key, builtIn);
    return QString();
}

QString TMLang::GetResString(const QString& key) {
    if (key.isEmpty())
        return QString();
    QString value;
    for (const QString& line : std::as_const(m_strList)) {
        int equals = line.indexOf(QLatin1Char('='));
        if (equals >= 0 && line.left(equals).compare(key, Qt::CaseInsensitive) == 0) {
            value = line.mid(equals + 1);
            break;
        }
    }
    if (value.isEmpty())
        value = LookUpMessage(key, key);
    if (value.isEmpty())
        value = key;
    return TreatString(value);
}

QString TMLang::GetResString(const QString& key, const QString& section) const {
    if (key.isEmpty() || section.isEmpty())
        return QString();
    QString value;
    if (m_file)
        value = ProcessedStr(QString::fromStdString(m_file->ReadString(Utf8(section), Utf8(key))));
    return TreatString(value.isEmpty() ? key : value);
}

QString TMLang::GetResString(int index) {
    if (index < 0 || index >= m_strList.size())
        return QString();
    const QString& line = m_strList[index];
    int equals = line.indexOf(QLatin1Char('='));
    return equals < 0 ? line : line.mid(equals + 1);
}

void TMLang::AddResString(const QString& key, const QString& value) {
    LookUpMessage(key, value);
}

void TMLang::UnRegister(const QString& section) {
    // A section that stays does no harm: nothing reads it any more.
    if (m_file)
        static_cast<void>(m_file->EraseSection(Utf8(section)));
}

void TMLang::RegisterMenuItem(QAction* item) {
    if (item == nullptr)
        return;
    const QString text = item->text();
    if (m_file && IsComponentName(item->objectName()) && !item->isSeparator() &&
        text != QStringLiteral("-")) {
        QString translated = TranslateText(item->objectName() + "_" + kCaption, text);
        if (translated != text)
            item->setText(translated);
    }
    if (QMenu* menu = item->menu()) {
        const QList<QAction*> subItems = menu->actions();
        for (QAction* subItem : subItems)
            RegisterMenuItem(subItem);
    }
}

bool TMLang::IsHasProperty(const QObject* component, const QString& name) {
    return component != nullptr && lang::HasNamedProperty(component, name);
}

QString TMLang::ProcessedStr(const QString& text) {
    if (text.size() >= 2 && text.startsWith(QLatin1Char('<')) && text.endsWith(QLatin1Char('>')))
        return text.mid(1, text.size() - 2);
    return text;
}

QString TMLang::UnProcessedStr(const QString& text) {
    return "<" + text + ">";
}

QString TMLang::TreatString(const QString& text) {
    QString result = text;
    for (qsizetype i = 0; i + 1 < result.size(); ++i) {
        if (result[i] == QLatin1Char('\\') && result[i + 1] == QLatin1Char('n')) {
            result[i] = QLatin1Char('\r');
            result[i + 1] = QLatin1Char('\n');
            ++i;
        }
    }
    return result;
}

QString TMLang::ReadValue(const QString& key) const {
    if (!m_file)
        return QString();
    return QString::fromStdString(m_file->ReadString(Utf8(m_windowClass), Utf8(key)));
}

int TMLang::ReadNumber(const QString& key, int defaultValue) const {
    if (!m_file)
        return defaultValue;
    return m_file->ReadInteger(Utf8(m_windowClass), Utf8(key), defaultValue);
}

void TMLang::WriteText(const QString& key, const QString& text) {
    WriteValue(key, EncodeForFile(text));
}

void TMLang::WriteValue(const QString& key, const QString& value) {
    if (!m_file)
        return;
    if (!m_file->WriteString(Utf8(m_windowClass), Utf8(key), Utf8(value)))
        throw std::runtime_error("Unable to write to " + m_file->Path());
}

void TMLang::WriteNumber(const QString& key, int value) {
    WriteValue(key, QString::number(value));
}

QString TMLang::EncodeForFile(const QString& text) const {
    auto enclosedIn = [&text](char first, char last) {
        return text.size() >= 2 && text.startsWith(QLatin1Char(first)) &&
               text.endsWith(QLatin1Char(last));
    };
    // Without the brackets the file would give back a different text.
    bool wouldChange = text != text.trimmed() || enclosedIn('<', '>') || enclosedIn('"', '"');
    return (m_addBracket || wouldChange) ? UnProcessedStr(text) : text;
}

namespace {

QString& WindowLanguageFileName() {
    static QString name = QStringLiteral("lang/English.ini");
    return name;
}

} // namespace

QString WindowLanguageFile() {
    return WindowLanguageFileName();
}

void SetWindowLanguageFile(const QString& name) {
    WindowLanguageFileName() = name;
}

TMLang* CreateWindowLang(QObject* owner, const QString& windowClass) {
    auto* lang = new TMLang(owner, windowClass);
    lang->SetLangFileName(WindowLanguageFile());
    lang->SetIgnoreEmptyString(true);
    lang->SetAutoCreateMode(true);
    lang->SetAddBracket(false);
    lang->SetStringProperties({QStringLiteral("Caption")});
    lang->SetStringsProperties({QStringLiteral("Tabs"), QStringLiteral("Items")});
    return lang;
}

} // namespace lumora
