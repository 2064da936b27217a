// SPDX-License-Identifier: GPL-2.0-or-later
// The preview helper's protocol and decoders. The input is read as a request, as the
// helper reads it; one that the protocol refuses only for its byte count is retried with
// the count set right, so that the decoders see every input. Each answer must keep to the
// protocol and to the size asked for. The same bytes also go to the program's side, read
// as an answer.
#include "platform/ByteOrder.h"
#include "preview/Decoder.h"
#include "preview/PreviewProtocol.h"

#include <QGuiApplication>
#include <cstdlib>
#include <cstring>

using namespace lumora::preview;

namespace {

void CheckAnswer(const Request& request) {
    const std::vector<uint8_t> answer = AnswerRequest(request);
    const std::optional<ResponseHeader> header = DecodeResponseHeader(
        answer.data(), answer.size(), request.header.maxWidth, request.header.maxHeight);
    if (!header || answer.size() != kResponseHeaderSize + header->PixelBytes())
        std::abort();
}

} // namespace

// libemf2svg leaks a few bytes on every call, and fontconfig on its first matches; in the
// helper, which ends after one picture, that costs nothing. Leaks of our own still count.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libemf2svg.so\nleak:libfontconfig.so\n";
}

// In the helper, an allocation its address-space limit cannot hold fails and the decoder
// gives up (libpng allocates whatever size a chunk claims). Large allocations fail here
// too, so the fuzzer follows the helper instead of reporting the process out of memory.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1:max_allocation_size_mb=512";
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QGuiApplication application(*argc, *argv);
    PrepareDecoders();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (std::optional<ResponseHeader> answer = DecodeResponseHeader(data, size, 64, 64)) {
        if (answer->hasPreview && (answer->previewWidth > 64 || answer->previewHeight > 64))
            std::abort();
    }
    if (std::optional<Request> request = DecodeRequest(data, size)) {
        CheckAnswer(*request);
        return 0;
    }
    if (size < kRequestHeaderSize)
        return 0;
    std::vector<uint8_t> message(data, data + size);
    const uint64_t count = size - kRequestHeaderSize;
    lumora::StoreLittleEndian(&message[28], count);
    if (std::optional<Request> request = DecodeRequest(message.data(), message.size()))
        CheckAnswer(*request);
    return 0;
}
