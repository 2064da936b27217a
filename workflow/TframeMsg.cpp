// SPDX-License-Identifier: GPL-2.0-or-later
#include "workflow/TframeMsg.h"

#include "engine/BindImage.h"
#include "engine/FormatFileSize.h"

namespace lumora {

TframeMsg::TframeMsg(IMainWindowHost* host, QWidget* parent) : QFrame(parent), m_host(host) {
    setObjectName("frameMsg");
    resize(408, 450);
    hide();
}

TframeMsg::~TframeMsg() {
    ReleaseEngine();
}

void TframeMsg::ShowHideWizard() {
    show();
}

int TframeMsg::LoadFromImage(const QString&, const QString&) {
    return 0;
}

void TframeMsg::ShowMessagePage() {}

void TframeMsg::ShowFilesPage() {}

void TframeMsg::SetPasswordPrompt(TfrmCheckPass* prompt) {
    m_prompt = prompt;
}

QString TframeMsg::ByteWord() const {
    return QStringLiteral("Byte");
}

void TframeMsg::ReleaseEngine() {
    m_engine.reset();
}

} // namespace lumora
