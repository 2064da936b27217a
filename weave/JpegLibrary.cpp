// SPDX-License-Identifier: GPL-2.0-or-later
#include "weave/JpegLibrary.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <new>

namespace lumora {
namespace {

constexpr size_t kFeedBytes = 64 * 1024;
constexpr size_t kFirstSinkBytes = 64 * 1024;
constexpr JOCTET kFakeEnd[2] = {0xFF, JPEG_EOI};

JpegErrors& ErrorsOf(j_common_ptr info) {
    return *reinterpret_cast<JpegErrors*>(info->err);
}

[[noreturn]] void JumpBack(j_common_ptr info) {
    JpegErrors& errors = ErrorsOf(info);
    errors.code = info->err->msg_code;
    std::longjmp(errors.jump, 1);
}

// Level -1 is a warning about corrupt data; higher levels are trace messages.
void CountWarning(j_common_ptr info, int level) {
    if (level < 0)
        ++ErrorsOf(info).corruptWarnings;
}

void PrintNothing(j_common_ptr) {}

j_common_ptr Common(j_decompress_ptr info) {
    return reinterpret_cast<j_common_ptr>(info);
}
j_common_ptr Common(j_compress_ptr info) {
    return reinterpret_cast<j_common_ptr>(info);
}

// What libjpeg's ERREXIT and WARNMS macros do, without their casts.
[[noreturn]] void Fail(j_common_ptr info, J_MESSAGE_CODE code) {
    info->err->msg_code = code;
    info->err->error_exit(info);
    std::abort(); // error_exit never returns
}

void Warn(j_common_ptr info, J_MESSAGE_CODE code) {
    info->err->msg_code = code;
    info->err->emit_message(info, -1);
}

JpegSourceFeed& FeedOf(j_decompress_ptr info) {
    return *reinterpret_cast<JpegSourceFeed*>(info->src);
}

void StartFeed(j_decompress_ptr) {}
void EndFeed(j_decompress_ptr) {}

boolean FillFeed(j_decompress_ptr info) {
    JpegSourceFeed& feed = FeedOf(info);
    const uint64_t size = feed.source->Size();
    const size_t count =
        static_cast<size_t>(std::min<uint64_t>(kFeedBytes, size - std::min(size, feed.position)));
    if (count == 0) {
        Warn(Common(info), JWRN_JPEG_EOF);
        feed.manager.next_input_byte = kFakeEnd;
        feed.manager.bytes_in_buffer = sizeof kFakeEnd;
        return TRUE;
    }
    if (!feed.source->ReadAt(feed.position, feed.buffer.data(), count)) {
        feed.errors->readFailed = true;
        feed.errors->error = errno;
        Fail(Common(info), JERR_FILE_READ);
    }
    feed.position += count;
    feed.manager.next_input_byte = feed.buffer.data();
    feed.manager.bytes_in_buffer = count;
    return TRUE;
}

void SkipFeed(j_decompress_ptr info, long count) {
    if (count <= 0)
        return;
    JpegSourceFeed& feed = FeedOf(info);
    const auto skip = static_cast<uint64_t>(count);
    if (skip <= feed.manager.bytes_in_buffer) {
        feed.manager.next_input_byte += skip;
        feed.manager.bytes_in_buffer -= skip;
        return;
    }
    feed.position += skip - feed.manager.bytes_in_buffer;
    feed.manager.bytes_in_buffer = 0;
}

JpegVectorSink& SinkOf(j_compress_ptr info) {
    return *reinterpret_cast<JpegVectorSink*>(info->dest);
}

// Grows the vector to `size`; false when memory runs out (no exception may cross libjpeg).
bool Grow(std::vector<uint8_t>& bytes, size_t size) {
    try {
        bytes.resize(size);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void StartSink(j_compress_ptr info) {
    JpegVectorSink& sink = SinkOf(info);
    if (!Grow(*sink.out, kFirstSinkBytes))
        Fail(Common(info), JERR_OUT_OF_MEMORY);
    sink.manager.next_output_byte = sink.out->data();
    sink.manager.free_in_buffer = sink.out->size();
}

// Called with the whole buffer full.
boolean GrowSink(j_compress_ptr info) {
    JpegVectorSink& sink = SinkOf(info);
    const size_t used = sink.out->size();
    if (!Grow(*sink.out, used * 2))
        Fail(Common(info), JERR_OUT_OF_MEMORY);
    sink.manager.next_output_byte = sink.out->data() + used;
    sink.manager.free_in_buffer = sink.out->size() - used;
    return TRUE;
}

void EndSink(j_compress_ptr info) {
    JpegVectorSink& sink = SinkOf(info);
    sink.out->resize(sink.out->size() - sink.manager.free_in_buffer);
}

} // namespace

jpeg_error_mgr* JpegErrors::Install() {
    jpeg_std_error(&manager);
    manager.error_exit = JumpBack;
    manager.emit_message = CountWarning;
    manager.output_message = PrintNothing;
    return &manager;
}

CoverStatus JpegErrors::Status() const {
    if (readFailed)
        return CoverStatus::ReadFailed;
    switch (code) {
    case JERR_BAD_PRECISION:
        return CoverStatus::NotEightBit;
    case JERR_ARITH_NOTIMPL:
    case JERR_NO_ARITH_TABLE:
        return CoverStatus::ArithmeticCoding;
    case JERR_OUT_OF_MEMORY:
        return CoverStatus::NoMemory;
    case JERR_IMAGE_TOO_BIG:
        return CoverStatus::TooLarge;
    case JERR_FILE_WRITE:
        return CoverStatus::WriteFailed;
    default:
        return CoverStatus::Damaged;
    }
}

void JpegSourceFeed::Attach(j_decompress_ptr info, const ByteSource& from, JpegErrors& errorsOut) {
    source = &from;
    errors = &errorsOut;
    position = 0;
    buffer.resize(kFeedBytes);
    manager.init_source = StartFeed;
    manager.fill_input_buffer = FillFeed;
    manager.skip_input_data = SkipFeed;
    manager.resync_to_restart = jpeg_resync_to_restart;
    manager.term_source = EndFeed;
    manager.next_input_byte = nullptr;
    manager.bytes_in_buffer = 0;
    info->src = &manager;
}

void JpegVectorSink::Attach(j_compress_ptr info, std::vector<uint8_t>& into) {
    out = &into;
    manager.init_destination = StartSink;
    manager.empty_output_buffer = GrowSink;
    manager.term_destination = EndSink;
    info->dest = &manager;
}

} // namespace lumora
