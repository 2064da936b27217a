// SPDX-License-Identifier: GPL-2.0-or-later
#include "workflow/TfrmCheckPass.h"

#include "language/TMLang.h"

#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace lumora {

TfrmCheckPass::TfrmCheckPass(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmCheckPass"));
    setWindowTitle(QStringLiteral("Input Password"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);

    lblInputPass = new QLabel(QStringLiteral("Please Input Your Password "), this);
    lblInputPass->setObjectName(QStringLiteral("lblInputPass"));
    lblPassError = new QLabel(QStringLiteral("Password Error"), this);
    lblPassError->setObjectName(QStringLiteral("lblPassError"));
    lblPassError->setStyleSheet(QStringLiteral("color: red;"));
    lblPassError->hide();
    lblSealedPass =
        new QLabel(QStringLiteral("This picture holds no classic hidden data. If "
                                  "sealed or woven data is hidden in it, type its password:"),
                   this);
    lblSealedPass->setObjectName(QStringLiteral("lblSealedPass"));
    lblSealedPass->setWordWrap(true);
    lblSealedError =
        new QLabel(QStringLiteral("No hidden data found, or the password does not open it."), this);
    lblSealedError->setObjectName(QStringLiteral("lblSealedError"));
    lblSealedError->setStyleSheet(QStringLiteral("color: red;"));
    lblSealedError->setWordWrap(true);
    lblConfirmPass = new QLabel(QStringLiteral("The image cannot check every character of this "
                                               "long password. Please type it again before the "
                                               "image is saved:"),
                                this);
    lblConfirmPass->setObjectName(QStringLiteral("lblConfirmPass"));
    lblConfirmPass->setWordWrap(true);
    lblSealedPass->hide();
    lblSealedError->hide();
    lblConfirmPass->hide();
    medtPass = new QLineEdit(this);
    medtPass->setObjectName(QStringLiteral("medtPass"));
    medtPass->setEchoMode(QLineEdit::Password);
    btnOK = new QPushButton(QStringLiteral("&OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblInputPass);
    layout->addWidget(lblSealedPass);
    layout->addWidget(lblConfirmPass);
    layout->addWidget(lblPassError);
    layout->addWidget(lblSealedError);
    layout->addWidget(medtPass);
    layout->addLayout(buttons);
    setFixedWidth(320);
    FormCreate();

    MLang = CreateWindowLang(this, QStringLiteral("TfrmCheckPass"));
    MLang->SetIgnoreFormCaption(false);
    MLang->SetActiveNow(true);
}

QString TfrmCheckPass::Password() const {
    return medtPass->text();
}

void TfrmCheckPass::ClearPassword() {
    medtPass->clear();
}

void TfrmCheckPass::FormShow() {
    lblInputPass->setVisible(!m_sealed && !m_confirming);
    lblSealedPass->setVisible(m_sealed && !m_confirming);
    lblConfirmPass->setVisible(m_confirming);
    lblPassError->setVisible(!m_sealed && !m_confirming && m_passwordFailed != 0);
    lblSealedError->setVisible(m_sealed && !m_confirming && m_passwordFailed != 0);
    // A dialog of fixed size, so window managers offer no maximise button.
    setFixedHeight(sizeHint().height());
    medtPass->clear();
    medtPass->setFocus(Qt::OtherFocusReason);
}

void TfrmCheckPass::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

// Both buttons share one face, drawn by the theme for every push button, and one size.
void TfrmCheckPass::FormCreate() {
    const int width = qMax(80, qMax(btnOK->sizeHint().width(), btnCancel->sizeHint().width()));
    btnOK->setMinimumWidth(width);
    btnCancel->setMinimumWidth(width);
}

} // namespace lumora
