// SPDX-License-Identifier: GPL-2.0-or-later
#include "workflow/FileDropTarget.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace lumora {

FileDropTarget::FileDropTarget(std::initializer_list<QWidget*> widgets, Handler handler,
                               OtherDrops others)
    : QObject(*widgets.begin()), m_handler(std::move(handler)), m_others(others) {
    for (QWidget* widget : widgets) {
        widget->setAcceptDrops(true);
        widget->installEventFilter(this);
    }
}

QStringList FileDropTarget::LocalPaths(const QMimeData* data) {
    QStringList paths;
    if (data == nullptr || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    }
    return paths;
}

bool FileDropTarget::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList paths = LocalPaths(drop->mimeData());
        if (paths.isEmpty()) {
            if (m_others == OtherDrops::PassOn)
                return false;
            drop->ignore();
            return true;
        }
        drop->acceptProposedAction();
        if (event->type() == QEvent::Drop)
            m_handler(paths);
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}

} // namespace lumora
