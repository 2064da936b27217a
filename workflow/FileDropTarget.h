// SPDX-License-Identifier: GPL-2.0-or-later
// Makes widgets accept files dragged from a file manager: a drop of local files hands
// their paths, in the order given, to a callback. Other drops are refused, or left to the
// widget itself (text dropped into an editor).
#pragma once

#include <QObject>
#include <QStringList>
#include <functional>
#include <initializer_list>

class QMimeData;
class QWidget;

namespace lumora {

class FileDropTarget : public QObject {
public:
    using Handler = std::function<void(const QStringList& paths)>;
    // What becomes of a drag that brings no local files.
    enum class OtherDrops { Refuse, PassOn };

    // Watches every widget given (for a list or an editor, the widget and its viewport);
    // parented to the first of them.
    FileDropTarget(std::initializer_list<QWidget*> widgets, Handler handler,
                   OtherDrops others = OtherDrops::Refuse);

    // The local file paths of a drag's data; empty when it brings none.
    static QStringList LocalPaths(const QMimeData* data);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Handler m_handler;
    OtherDrops m_others;
};

} // namespace lumora
