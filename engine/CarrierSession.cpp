// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/CarrierSession.h"

#include "engine/CarrierCore.h"

namespace lumora {

CarrierSession::CarrierSession(std::unique_ptr<CarrierCore> core) : m_core(std::move(core)) {}

CarrierSession::~CarrierSession() = default;

std::unique_ptr<CarrierCore> CarrierSession::TakeCore() {
    return std::move(m_core);
}

const std::string& CarrierSession::Path() const {
    return m_core->path;
}

void CarrierSession::SetProgressObserver(CProgressObserver* observer) {
    m_core->SetObserver(observer);
}

void CarrierSession::SetWorkerThreads(int threads) {
    m_core->engine->SetWorkerThreads(threads);
}

Status CarrierSession::Lock() {
    return m_core->Lock();
}

Status CarrierSession::SaveImagePart(const std::string& path, bool replace) {
    return m_core->SaveImagePart(path, replace);
}

const std::string& CarrierSession::WorkFolder() const {
    return m_core->engine->WorkDir();
}

const std::string& CarrierSession::WorkingCopy() const {
    return m_core->engine->PayloadTempPath();
}

} // namespace lumora
