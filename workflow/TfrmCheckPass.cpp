// SPDX-License-Identifier: GPL-2.0-or-later
#include "workflow/TfrmCheckPass.h"

#include <QLineEdit>

namespace lumora {

TfrmCheckPass::TfrmCheckPass(QWidget* parent) : QDialog(parent) {
    setObjectName("frmCheckPass");
    medtPass = new QLineEdit(this);
    medtPass->setObjectName("medtPass");
}

QString TfrmCheckPass::Password() const {
    return medtPass->text();
}

void TfrmCheckPass::ClearPassword() {
    medtPass->clear();
}

void TfrmCheckPass::FormShow() {}

void TfrmCheckPass::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
}

void TfrmCheckPass::FormCreate() {}

} // namespace lumora
