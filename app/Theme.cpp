// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/Theme.h"

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QIcon>

// Q_INIT_RESOURCE must be used outside any namespace.
static void RegisterThemeResources() {
    Q_INIT_RESOURCE(theme);
}

namespace lumora {

void InitTheme(QApplication& app) {
    RegisterThemeResources();

    // The windows are laid out for 8-point "MS Sans Serif", the font the language file
    // names by default; where that face is missing a plain sans-serif face stands in.
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans"),
                                QStringLiteral("Liberation Sans")});
    QFont font(QStringLiteral("MS Sans Serif"), 8);
    font.setStyleHint(QFont::SansSerif);
    QApplication::setFont(font);

    QFile styleSheet(QStringLiteral(":/theme/lumora.qss"));
    if (styleSheet.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromUtf8(styleSheet.readAll()));
    app.setWindowIcon(QIcon(QStringLiteral(":/theme/product.png")));
}

} // namespace lumora
