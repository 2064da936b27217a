// SPDX-License-Identifier: GPL-2.0-or-later
#include "weave/PngLibrary.h"

#include <algorithm>
#include <cerrno>

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

void WriteThroughFilter(png_structp png, png_bytep data, size_t length) {
    if (!ChannelOf(png).out->Put(data, length))
        png_error(png, "write");
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

png_structp PngChannel::MakeWriter(IdatFilter& into) {
    out = &into;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, this, JumpBack, DropWarning);
    if (png != nullptr)
        png_set_write_fn(png, this, WriteThroughFilter, FlushNothing);
    return png;
}

bool IdatFilter::Put(const uint8_t* data, size_t size) {
    while (size != 0) {
        size_t taken = 0;
        if (m_signatureLeft != 0) {
            taken = std::min(m_signatureLeft, size);
            m_signatureLeft -= taken;
        } else if (m_chunkLeft != 0) {
            taken = static_cast<size_t>(std::min<uint64_t>(m_chunkLeft, size));
            if (m_passing && !m_sink(data, taken))
                return false;
            m_chunkLeft -= taken;
        } else {
            taken = std::min(m_header.size() - m_headerHave, size);
            std::copy_n(data, taken, m_header.begin() + static_cast<ptrdiff_t>(m_headerHave));
            m_headerHave += taken;
            if (m_headerHave == m_header.size()) {
                m_headerHave = 0;
                m_chunkLeft = 4 + (uint64_t{m_header[0]} << 24 | uint64_t{m_header[1]} << 16 |
                                   uint64_t{m_header[2]} << 8 | m_header[3]);
                m_passing = std::equal(m_header.begin() + 4, m_header.end(), "IDAT");
                if (m_passing && !m_sink(m_header.data(), m_header.size()))
                    return false;
            }
        }
        data += taken;
        size -= taken;
    }
    return true;
}

} // namespace lumora
