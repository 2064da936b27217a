// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/TfrmAbout.h"

#include "language/TMLang.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

namespace lumora {
namespace {

constexpr int kCloseBottomMargin = 14; // below btnClose, kept when the box is resized

void SetTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

QLabel* NewLabel(const char* name, const QString& text, QWidget* parent, const QRect& place,
                 Qt::Alignment alignment) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(place);
    label->setAlignment(alignment | Qt::AlignVCenter);
    SetTextColour(label, Qt::black);
    return label;
}

} // namespace

TfrmAbout::TfrmAbout(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Lumora"));
    resize(425, 151);
    move(335, 257);
    BuildControls();
    ConfigureLang();
}

void TfrmAbout::BuildControls() {
    pnl1 = new QLabel(this);
    pnl1->setObjectName(QStringLiteral("pnl1"));
    pnl1->setGeometry(40, 24, 57, 57);
    pnl1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    pnl1->setPixmap(
        QIcon(QStringLiteral(":/theme/product.png")).pixmap(QSize(48, 48), devicePixelRatioF()));

    lbl1 = NewLabel("lbl1", QStringLiteral("Lumora " LUMORA_SHORT_VERSION), this,
                    QRect(130, 16, 231, 16), Qt::AlignHCenter);
    QFont productFont = lbl1->font();
    productFont.setPixelSize(13);
    productFont.setBold(true);
    lbl1->setFont(productFont);

    lbl2 = NewLabel("lbl2",
                    QStringLiteral("\u00A9 2026 The Lumora developers \u00B7 free software, GPL"),
                    this, QRect(96, 40, 329, 13), Qt::AlignHCenter);

    btnClose = new QPushButton(QStringLiteral("&Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setGeometry(168, 107, 100, 30);
    btnClose->setDefault(true);
    btnClose->setAutoDefault(true);
    connect(btnClose, &QPushButton::clicked, this, &TfrmAbout::btnCloseClick);
}

void TfrmAbout::ConfigureLang() {
    MLang = CreateWindowLang(this, QStringLiteral("TfrmAbout"));
    MLang->SetIgnoreControls(
        {QStringLiteral("lbl1"), QStringLiteral("lbl2"), QStringLiteral("pnl1")});
    MLang->SetSaveFontSizeCtrls({});
    MLang->SetIgnoreFormCaption(false);
    MLang->SetIncludeListViewItems(false);
    MLang->SetIncludeListViewHead(false);
    MLang->SetIncludeTreeViewItems(false);
    MLang->SetActiveNow(true);
}

void TfrmAbout::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    btnClose->move(btnClose->x(), height() - kCloseBottomMargin - btnClose->height());
}

void TfrmAbout::btnCloseClick() {
    accept();
}

} // namespace lumora
