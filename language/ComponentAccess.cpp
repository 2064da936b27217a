// SPDX-License-Identifier: GPL-2.0-or-later
#include "language/ComponentAccess.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMetaProperty>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVariant>

#include <algorithm>
#include <functional>

namespace lumora::lang {
namespace {

const QString kCaption = QStringLiteral("Caption");
const QString kTabs = QStringLiteral("Tabs");
const QString kItems = QStringLiteral("Items");
const char* const kFontName = "FontName";
const char* const kFontSize = "FontSize";
const char* const kFontCharset = "FontCharset";
// A damaged or careless language file must not make text unreadable or huge.
constexpr int kMaxFontSize = 500;

// A Qt property (declared or dynamic) of the given name holding a value of the type.
bool HasQtProperty(const QObject* object, const QString& name, QMetaType type) {
    QByteArray utf8 = name.toUtf8();
    int index = object->metaObject()->indexOfProperty(utf8.constData());
    if (index >= 0)
        return object->metaObject()->property(index).metaType() == type;
    if (!object->dynamicPropertyNames().contains(utf8))
        return false;
    return object->property(utf8.constData()).metaType() == type;
}

bool HasQtProperty(const QObject* object, const char* name) {
    return object->metaObject()->indexOfProperty(name) >= 0 ||
           object->dynamicPropertyNames().contains(QByteArray(name));
}

// The tab widget that shows a page, and the page's index there.
QTabWidget* TabWidgetOfPage(const QObject* page, int* index) {
    auto* widget = qobject_cast<const QWidget*>(page);
    auto* stack = widget ? qobject_cast<QStackedWidget*>(widget->parentWidget()) : nullptr;
    auto* tabs = stack ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
    if (tabs == nullptr)
        return nullptr;
    *index = tabs->indexOf(const_cast<QWidget*>(widget));
    return *index >= 0 ? tabs : nullptr;
}

bool IsWindow(const QObject* object) {
    return object->isWidgetType() && static_cast<const QWidget*>(object)->isWindow();
}

bool IsListView(const QObject* object) {
    if (qobject_cast<const QTableWidget*>(object))
        return true;
    auto* tree = qobject_cast<const QTreeWidget*>(object);
    return tree != nullptr && !tree->rootIsDecorated();
}

QList<QTreeWidgetItem*> ItemsDepthFirst(const QTreeWidget* tree) {
    QList<QTreeWidgetItem*> items;
    std::function<void(QTreeWidgetItem*)> visit = [&](QTreeWidgetItem* item) {
        items.append(item);
        for (int i = 0; i < item->childCount(); ++i)
            visit(item->child(i));
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        visit(tree->topLevelItem(i));
    return items;
}

QString Index(int i) {
    return QString::number(i);
}

QList<IndexedText> ListViewTexts(const QObject* object, bool head, bool items) {
    QList<IndexedText> texts;
    if (auto* tree = qobject_cast<const QTreeWidget*>(object)) {
        if (head) {
            for (int c = 0; c < tree->columnCount(); ++c)
                texts.append(
                    {"_ColumnCaption[" + Index(c) + "]", tree->headerItem()->text(c), -1, c});
        }
        if (items) {
            for (int r = 0; r < tree->topLevelItemCount(); ++r) {
                QTreeWidgetItem* item = tree->topLevelItem(r);
                texts.append({"_ItemCaption[" + Index(r) + "]", item->text(0), r, 0});
                for (int c = 1; c < tree->columnCount(); ++c)
                    texts.append({"_SubItem[" + Index(r) + "]Caption[" + Index(c - 1) + "]",
                                  item->text(c), r, c});
            }
        }
        return texts;
    }
    auto* table = qobject_cast<const QTableWidget*>(object);
    auto cellText = [](const QTableWidgetItem* item) { return item ? item->text() : QString(); };
    if (head) {
        for (int c = 0; c < table->columnCount(); ++c)
            texts.append({"_ColumnCaption[" + Index(c) + "]",
                          cellText(table->horizontalHeaderItem(c)), -1, c});
    }
    if (items) {
        for (int r = 0; r < table->rowCount(); ++r) {
            texts.append({"_ItemCaption[" + Index(r) + "]", cellText(table->item(r, 0)), r, 0});
            for (int c = 1; c < table->columnCount(); ++c)
                texts.append({"_SubItem[" + Index(r) + "]Caption[" + Index(c - 1) + "]",
                              cellText(table->item(r, c)), r, c});
        }
    }
    return texts;
}

void SetListViewText(QObject* object, const IndexedText& where, const QString& text) {
    if (auto* tree = qobject_cast<QTreeWidget*>(object)) {
        QTreeWidgetItem* item = where.row < 0 ? tree->headerItem() : tree->topLevelItem(where.row);
        if (item != nullptr)
            item->setText(where.column, text);
        return;
    }
    auto* table = qobject_cast<QTableWidget*>(object);
    QTableWidgetItem* item = where.row < 0 ? table->horizontalHeaderItem(where.column)
                                           : table->item(where.row, where.column);
    if (item != nullptr) {
        item->setText(text);
    } else if (where.row < 0) {
        table->setHorizontalHeaderItem(where.column, new QTableWidgetItem(text));
    } else {
        table->setItem(where.row, where.column, new QTableWidgetItem(text));
    }
}

QList<IndexedText> ModelHeaderTexts(const QAbstractItemModel* model, Qt::Orientation orientation,
                                    const QString& prefix) {
    QList<IndexedText> texts;
    if (model == nullptr)
        return texts;
    int count = orientation == Qt::Horizontal ? model->columnCount() : model->rowCount();
    for (int i = 0; i < count; ++i)
        texts.append({prefix + "[" + Index(i) + "]",
                      model->headerData(i, orientation, Qt::DisplayRole).toString(), i, -1});
    return texts;
}

} // namespace

ComponentKind KindOf(const QObject* component) {
    if (qobject_cast<const QTimer*>(component) || qobject_cast<const QSplitter*>(component))
        return ComponentKind::Skipped;
    if (IsListView(component))
        return ComponentKind::ListView;
    if (qobject_cast<const QTreeWidget*>(component))
        return ComponentKind::TreeView;
    if (qobject_cast<const QHeaderView*>(component))
        return ComponentKind::Header;
    if (qobject_cast<const QTableView*>(component))
        return ComponentKind::DataGrid;
    if (qobject_cast<const QComboBox*>(component))
        return ComponentKind::ComboBox;
    return ComponentKind::Ordinary;
}

bool HasText(const QObject* component, const QString& name) {
    if (name == kCaption) {
        int index = 0;
        if (qobject_cast<const QAbstractButton*>(component) ||
            qobject_cast<const QLabel*>(component) || qobject_cast<const QGroupBox*>(component) ||
            qobject_cast<const QAction*>(component) || qobject_cast<const QMenu*>(component) ||
            TabWidgetOfPage(component, &index) || IsWindow(component))
            return true;
    }
    return HasQtProperty(component, name, QMetaType::fromType<QString>());
}

QString Text(const QObject* component, const QString& name) {
    if (name == kCaption) {
        int index = 0;
        if (auto* button = qobject_cast<const QAbstractButton*>(component))
            return button->text();
        if (auto* label = qobject_cast<const QLabel*>(component))
            return label->text();
        if (auto* group = qobject_cast<const QGroupBox*>(component))
            return group->title();
        if (auto* action = qobject_cast<const QAction*>(component))
            return action->text();
        if (auto* menu = qobject_cast<const QMenu*>(component))
            return menu->title();
        if (QTabWidget* tabs = TabWidgetOfPage(component, &index))
            return tabs->tabText(index);
        if (IsWindow(component))
            return static_cast<const QWidget*>(component)->windowTitle();
    }
    return component->property(name.toUtf8().constData()).toString();
}

void SetText(QObject* component, const QString& name, const QString& text) {
    if (name == kCaption) {
        int index = 0;
        if (auto* button = qobject_cast<QAbstractButton*>(component))
            return button->setText(text);
        if (auto* label = qobject_cast<QLabel*>(component))
            return label->setText(text);
        if (auto* group = qobject_cast<QGroupBox*>(component))
            return group->setTitle(text);
        if (auto* action = qobject_cast<QAction*>(component))
            return action->setText(text);
        if (auto* menu = qobject_cast<QMenu*>(component))
            return menu->setTitle(text);
        if (QTabWidget* tabs = TabWidgetOfPage(component, &index))
            return tabs->setTabText(index, text);
        if (IsWindow(component))
            return static_cast<QWidget*>(component)->setWindowTitle(text);
    }
    component->setProperty(name.toUtf8().constData(), text);
}

bool HasTextList(const QObject* component, const QString& name) {
    if (name == kTabs && qobject_cast<const QTabBar*>(component))
        return true;
    if (name == kItems &&
        (qobject_cast<const QComboBox*>(component) || qobject_cast<const QListWidget*>(component)))
        return true;
    return HasQtProperty(component, name, QMetaType::fromType<QStringList>());
}

QStringList TextList(const QObject* component, const QString& name) {
    QStringList lines;
    if (auto* bar = qobject_cast<const QTabBar*>(component); bar && name == kTabs) {
        for (int i = 0; i < bar->count(); ++i)
            lines.append(bar->tabText(i));
        return lines;
    }
    if (auto* combo = qobject_cast<const QComboBox*>(component); combo && name == kItems) {
        for (int i = 0; i < combo->count(); ++i)
            lines.append(combo->itemText(i));
        return lines;
    }
    if (auto* list = qobject_cast<const QListWidget*>(component); list && name == kItems) {
        for (int i = 0; i < list->count(); ++i)
            lines.append(list->item(i)->text());
        return lines;
    }
    return component->property(name.toUtf8().constData()).toStringList();
}

void SetTextLine(QObject* component, const QString& name, int line, const QString& text) {
    if (auto* bar = qobject_cast<QTabBar*>(component); bar && name == kTabs)
        return bar->setTabText(line, text);
    if (auto* combo = qobject_cast<QComboBox*>(component); combo && name == kItems)
        return combo->setItemText(line, text);
    if (auto* list = qobject_cast<QListWidget*>(component); list && name == kItems) {
        if (QListWidgetItem* item = list->item(line))
            item->setText(text);
        return;
    }
    QByteArray utf8 = name.toUtf8();
    QStringList lines = component->property(utf8.constData()).toStringList();
    if (line >= 0 && line < lines.size()) {
        lines[line] = text;
        component->setProperty(utf8.constData(), lines);
    }
}

bool HasNamedProperty(const QObject* component, const QString& name) {
    return HasText(component, name) || HasTextList(component, name) ||
           HasQtProperty(component, name.toUtf8().constData());
}

QList<IndexedText> IndexedTexts(const QObject* component, bool listViewHead, bool listViewItems) {
    switch (KindOf(component)) {
    case ComponentKind::ListView:
        return ListViewTexts(component, listViewHead, listViewItems);
    case ComponentKind::TreeView: {
        QList<IndexedText> texts;
        const QList<QTreeWidgetItem*> items =
            ItemsDepthFirst(qobject_cast<const QTreeWidget*>(component));
        for (int i = 0; i < items.size(); ++i)
            texts.append({"_ItemText[" + Index(i) + "]", items[i]->text(0), i, 0});
        return texts;
    }
    case ComponentKind::Header: {
        auto* header = qobject_cast<const QHeaderView*>(component);
        return ModelHeaderTexts(header->model(), header->orientation(),
                                QStringLiteral("_SectionsText"));
    }
    case ComponentKind::DataGrid:
        return ModelHeaderTexts(qobject_cast<const QTableView*>(component)->model(), Qt::Horizontal,
                                QStringLiteral("_ColumnsCaption"));
    default:
        return {};
    }
}

void SetIndexedText(QObject* component, const IndexedText& where, const QString& text) {
    switch (KindOf(component)) {
    case ComponentKind::ListView:
        return SetListViewText(component, where, text);
    case ComponentKind::TreeView: {
        auto* tree = qobject_cast<QTreeWidget*>(component);
        const QList<QTreeWidgetItem*> items = ItemsDepthFirst(tree);
        if (where.row < items.size())
            items[where.row]->setText(0, text);
        return;
    }
    case ComponentKind::Header: {
        auto* header = qobject_cast<QHeaderView*>(component);
        if (header->model() != nullptr)
            header->model()->setHeaderData(where.row, header->orientation(), text);
        return;
    }
    case ComponentKind::DataGrid: {
        auto* grid = qobject_cast<QTableView*>(component);
        if (grid->model() != nullptr)
            grid->model()->setHeaderData(where.row, Qt::Horizontal, text);
        return;
    }
    default:
        return;
    }
}

int ComboSelection(const QObject* component) {
    auto* combo = qobject_cast<const QComboBox*>(component);
    return combo ? combo->currentIndex() : -1;
}

void SetComboSelection(QObject* component, int index) {
    if (auto* combo = qobject_cast<QComboBox*>(component))
        combo->setCurrentIndex(index);
}

bool HasFont(const QObject* component) {
    return component->isWidgetType();
}

QString FontName(const QObject* component) {
    if (HasFont(component))
        return static_cast<const QWidget*>(component)->font().family();
    return component->property(kFontName).toString();
}

int FontSize(const QObject* component) {
    if (!HasFont(component))
        return component->property(kFontSize).toInt();
    QFont font = static_cast<const QWidget*>(component)->font();
    if (font.pointSize() > 0)
        return font.pointSize();
    return font.pixelSize() > 0 ? -font.pixelSize() : 0;
}

int FontCharset(const QObject* component) {
    QVariant charset = component->property(kFontCharset);
    return charset.isValid() ? charset.toInt() : kDefaultCharset;
}

bool HasFontSize(const QObject* component) {
    return HasFont(component) || HasQtProperty(component, kFontSize);
}

void SetFontName(QObject* component, const QString& name) {
    if (HasFont(component)) {
        auto* widget = static_cast<QWidget*>(component);
        QFont font = widget->font();
        font.setFamily(name);
        widget->setFont(font);
    }
    if (HasQtProperty(component, kFontName))
        component->setProperty(kFontName, name);
}

void SetFontSize(QObject* component, int size) {
    if (HasFont(component) && size != 0) {
        auto* widget = static_cast<QWidget*>(component);
        QFont font = widget->font();
        if (size > 0)
            font.setPointSize(std::min(size, kMaxFontSize));
        else
            font.setPixelSize(size < -kMaxFontSize ? kMaxFontSize : -size);
        widget->setFont(font);
    }
    if (HasQtProperty(component, kFontSize))
        component->setProperty(kFontSize, size);
}

void SetFontCharset(QObject* component, int charset) {
    if (HasFont(component) || HasQtProperty(component, kFontCharset))
        component->setProperty(kFontCharset, charset);
}

} // namespace lumora::lang
