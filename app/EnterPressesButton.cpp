// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/EnterPressesButton.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QToolButton>

namespace lumora {

EnterPressesButton::EnterPressesButton(QObject* owner) : QObject(owner) {
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
}

bool EnterPressesButton::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    // The keypad's Enter carries the keypad modifier; any other modifier makes another key.
    if (!enter || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    auto* button = qobject_cast<QAbstractButton*>(watched);
    if (button == nullptr || !button->hasFocus() || !button->isEnabled() ||
        (qobject_cast<QPushButton*>(button) == nullptr &&
         qobject_cast<QToolButton*>(button) == nullptr))
        return false;
    button->click();
    return true;
}

} // namespace lumora
