// SPDX-License-Identifier: GPL-2.0-or-later
#include "preview/Helper.h"

#include "platform/DescriptorIo.h"
#include "platform/ProcessHardening.h"
#include "preview/Decoder.h"
#include "preview/PreviewProtocol.h"
#include "preview/Sandbox.h"

#include <QGuiApplication>
#include <csignal>
#include <cstdlib>
#include <sys/prctl.h>
#include <unistd.h>

namespace lumora::preview {
namespace {

std::optional<Request> ReadRequest() {
    std::vector<uint8_t> message(kRequestHeaderSize);
    if (!ReadAll(0, message.data(), message.size()))
        return std::nullopt;
    const std::optional<RequestHeader> header = DecodeRequestHeader(message.data(), message.size());
    if (!header)
        return std::nullopt;
    message.resize(kRequestHeaderSize + size_t(header->byteCount));
    if (!ReadAll(0, message.data() + kRequestHeaderSize, size_t(header->byteCount)))
        return std::nullopt;
    return DecodeRequest(message.data(), message.size());
}

// Qt draws off screen: no connection to the user's display, window system or session bus
// is ever opened, so none is left for the sandbox to hold.
void LeaveTheDesktop() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET", "XAUTHORITY",
                             "DBUS_SESSION_BUS_ADDRESS", "SESSION_MANAGER", "QT_QPA_PLATFORMTHEME"})
        ::unsetenv(name);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

} // namespace

void RunHelper(int argc, char** argv, void (*inSandbox)()) {
    // Best effort; the sandbox below is what the helper depends on, and it is checked.
    static_cast<void>(HardenProcess());
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    LeaveTheDesktop();
    QGuiApplication application(argc, argv);
    PrepareDecoders();
    if (!LimitResources() || !InstallSyscallFilter())
        ::_exit(kNoSandbox);
    if (inSandbox != nullptr)
        inSandbox();

    const std::optional<Request> request = ReadRequest();
    if (!request)
        ::_exit(kBadRequest);
    const std::vector<uint8_t> answer = AnswerRequest(*request);
    ::_exit(WriteAll(1, answer.data(), answer.size()) ? kAnswered : kAnswerLost);
}

} // namespace lumora::preview
