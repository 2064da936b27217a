// SPDX-License-Identifier: GPL-2.0-or-later
#include "weave/PngLibrary.h"

#include <cerrno>
#include <new>

namespace lumora {
namespace {

PngChannel& ChannelOf(png_structp png) {
    return *static_cast<PngChannel*>(png_get_io_ptr(png));
}

[[noreturn]] void JumpBack(png_structp png, png_const_charp) {
    std::longjmp(static_cast<PngChannel*>(png_get_error_ptr(png))->jump, 1);
}

void DropWarning(png_structp, png_const_charp) {}

void ReadFromSource(png_structp png, png_bytep data, size_t length) {
    PngChannel& channel = ChannelOf(png);
    errno = 0;
    if (!channel.source->ReadAt(channel.position, data, length)) {
        channel.readFailed = errno != 0;
        png_error(png, "read");
    }
    channel.position += length;
}

void WriteToVector(png_structp png, png_bytep data, size_t length) {
    PngChannel& channel = ChannelOf(png);
    bool grown = true;
    try {
        channel.out->insert(channel.out->end(), data, data + length);
    } catch (const std::bad_alloc&) {
        grown = false;
    }
    if (!grown) {
        channel.noMemory = true;
        png_error(png, "write");
    }
}

void FlushNothing(png_structp) {}

} // namespace

png_structp PngChannel::MakeReader(const ByteSource& from) {
    source = &from;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, this, JumpBack, DropWarning);
    if (png != nullptr)
        png_set_read_fn(png, this, ReadFromSource);
    return png;
}

png_structp PngChannel::MakeWriter(std::vector<uint8_t>& into) {
    out = &into;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, this, JumpBack, DropWarning);
    if (png != nullptr)
        png_set_write_fn(png, this, WriteToVector, FlushNothing);
    return png;
}

} // namespace lumora
