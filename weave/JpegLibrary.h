// SPDX-License-Identifier: GPL-2.0-or-later
// What libjpeg needs from us: an error manager that never prints or exits but jumps back to
// the caller with the message code, and sources and destinations over our own buffers.
#pragma once

#include "picture/ByteSource.h"
#include "weave/CoverImage.h"

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>
#include <vector>

namespace lumora {

// The error manager of one libjpeg object. The code that calls libjpeg sets `jump` with
// setjmp; an error comes back there with `code` set (a J_MESSAGE_CODE). Warnings about
// corrupt data are counted, never printed. The object must not move while in use.
struct JpegErrors {
    jpeg_error_mgr manager{}; // first, so that libjpeg's pointer to it leads back here
    std::jmp_buf jump{};
    int code = 0;
    int corruptWarnings = 0;
    bool readFailed = false; // the source's read failed (errno kept in `error`)
    int error = 0;

    // Sets up the manager and returns it for the `err` field of a libjpeg object.
    jpeg_error_mgr* Install();
    // The cover status for the error that jumped back.
    CoverStatus Status() const;
};

// Feeds libjpeg from a source, 64 KiB at a time. A source that ends before the end marker
// gets one (with a corrupt-data warning), as libjpeg's own file source does.
struct JpegSourceFeed {
    jpeg_source_mgr manager{}; // first, for the same reason
    const ByteSource* source = nullptr;
    JpegErrors* errors = nullptr;
    uint64_t position = 0;
    std::vector<uint8_t> buffer;

    void Attach(j_decompress_ptr info, const ByteSource& from, JpegErrors& errorsOut);
};

// Collects libjpeg's output in a vector.
struct JpegVectorSink {
    jpeg_destination_mgr manager{}; // first, for the same reason
    std::vector<uint8_t>* out = nullptr;

    void Attach(j_compress_ptr info, std::vector<uint8_t>& into);
};

} // namespace lumora
