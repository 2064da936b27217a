// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/Theme.h"

#include <QApplication>
#include <QFile>
#include <QIcon>

// Q_INIT_RESOURCE must be used outside any namespace.
static void RegisterThemeResources() {
    Q_INIT_RESOURCE(theme);
}

namespace lumora {

void InitTheme(QApplication& app) {
    RegisterThemeResources();
    QFile styleSheet(QStringLiteral(":/theme/lumora.qss"));
    if (styleSheet.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromUtf8(styleSheet.readAll()));
    app.setWindowIcon(QIcon(QStringLiteral(":/theme/product.png")));
}

} // namespace lumora
