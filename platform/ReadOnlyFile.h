// SPDX-License-Identifier: GPL-2.0-or-later
// A file opened for reading, closed when it goes out of scope. Opening never waits on a
// FIFO (O_NONBLOCK) and never makes a terminal the controlling one.
#pragma once

#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace lumora {

class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const std::string& path)
        : m_fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)) {}
    ~ReadOnlyFile() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    // The descriptor; negative when the file could not be opened (errno tells why).
    int Fd() const { return m_fd; }

private:
    int m_fd;
};

} // namespace lumora
