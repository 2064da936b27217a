// SPDX-License-Identifier: GPL-2.0-or-later
#include "engine/StreamFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumora {

FILE* OpenRegularFileForReading(const std::string& path) {
    // O_NONBLOCK keeps the open from waiting for a writer when path names a pipe.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        int error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        errno = error;
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr) {
        int error = errno;
        ::close(fd);
        errno = error;
    }
    return file;
}

int64_t StreamSize(FILE* file) {
    struct stat info {};
    if (file == nullptr || ::fstat(::fileno(file), &info) != 0)
        return -1;
    return static_cast<int64_t>(info.st_size);
}

void StreamFile::Attach(FILE* file) {
    m_file = file;
    if (m_file == nullptr)
        return;
    m_buffer = std::make_unique<char[]>(kStreamBufferSize);
    std::setvbuf(m_file, m_buffer.get(), _IOFBF, kStreamBufferSize);
}

bool StreamFile::OpenRead(const std::string& path) {
    Close();
    Attach(OpenRegularFileForReading(path));
    return m_file != nullptr;
}

bool StreamFile::Create(const std::string& path) {
    Close();
    Attach(std::fopen(path.c_str(), "wb"));
    return m_file != nullptr;
}

bool StreamFile::Close() {
    if (m_file == nullptr)
        return true;
    bool ok = std::fflush(m_file) == 0 && !std::ferror(m_file);
    int error = ok ? 0 : errno;
    if (std::fclose(m_file) != 0 && ok) {
        ok = false;
        error = errno;
    }
    m_file = nullptr;
    m_buffer.reset();
    if (!ok)
        errno = error;
    return ok;
}

CopyResult CopyStream(FILE* in, FILE* out, int64_t limit,
                      const std::function<bool(uint64_t)>& progress) {
    CopyResult result;
    unsigned char chunk[kCopyChunkSize];
    while (limit < 0 || result.copied < limit) {
        size_t want = sizeof chunk;
        if (limit >= 0)
            want = static_cast<size_t>(std::min<int64_t>(limit - result.copied, sizeof chunk));
        size_t got = std::fread(chunk, 1, want, in);
        if (got == 0) {
            if (std::ferror(in)) {
                result.status = CopyStatus::ReadFailed;
                result.error = errno;
            }
            return result;
        }
        if (std::fwrite(chunk, 1, got, out) != got) {
            result.status = CopyStatus::WriteFailed;
            result.error = errno;
            return result;
        }
        result.copied += static_cast<int64_t>(got);
        if (progress && !progress(static_cast<uint64_t>(result.copied))) {
            result.status = CopyStatus::Cancelled;
            return result;
        }
    }
    return result;
}

} // namespace lumora
