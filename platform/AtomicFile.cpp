// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/AtomicFile.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace lumora {
namespace {

std::string FolderOf(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

constexpr size_t kWriteBufferSize = 256 * 1024;
// Keeps "<name>.lumora-XXXXXX" within the 255 bytes a file name may have.
constexpr size_t kMaxNamePrefix = 200;

std::string TempPatternFor(const std::string& destination) {
    auto slash = destination.rfind('/');
    size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::string prefix = destination.substr(0, nameStart + kMaxNamePrefix);
    return prefix + ".lumora-XXXXXX";
}

mode_t NewFileMode() {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

void SyncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

AtomicFile::AtomicFile(std::string destination) : m_destination(std::move(destination)) {}

AtomicFile::~AtomicFile() {
    Abort();
}

bool AtomicFile::Open() {
    Abort();
    std::string pattern = TempPatternFor(m_destination);
    int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    m_stream = ::fdopen(fd, "wb");
    if (m_stream == nullptr) {
        ::close(fd);
        ::unlink(pattern.c_str());
        return false;
    }
    m_tempPath = pattern;
    m_buffer.resize(kWriteBufferSize);
    std::setvbuf(m_stream, m_buffer.data(), _IOFBF, m_buffer.size());
    return true;
}

bool AtomicFile::Write(const void* data, size_t length) {
    return m_stream != nullptr && std::fwrite(data, 1, length, m_stream) == length;
}

bool AtomicFile::Commit(Sync sync) {
    if (m_stream == nullptr)
        return false;
    bool ok = std::fflush(m_stream) == 0 && !std::ferror(m_stream);
    int fd = ::fileno(m_stream);
    struct stat existing {};
    mode_t mode =
        ::stat(m_destination.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : NewFileMode();
    ok = ok && ::fchmod(fd, mode) == 0;
    ok = ok && (sync == Sync::No || ::fsync(fd) == 0);
    ok = (std::fclose(m_stream) == 0) && ok;
    m_stream = nullptr;
    if (ok)
        ok = ::rename(m_tempPath.c_str(), m_destination.c_str()) == 0;
    if (!ok) {
        ::unlink(m_tempPath.c_str());
        m_tempPath.clear();
        return false;
    }
    m_tempPath.clear();
    if (sync == Sync::Yes)
        SyncFolder(FolderOf(m_destination));
    return true;
}

void AtomicFile::Abort() {
    if (m_stream != nullptr) {
        std::fclose(m_stream);
        m_stream = nullptr;
    }
    if (!m_tempPath.empty()) {
        ::unlink(m_tempPath.c_str());
        m_tempPath.clear();
    }
}

bool MoveFileReplacing(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) == 0)
        return true;
    if (errno != EXDEV)
        return false;
    std::error_code ec;
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, ec);
    if (ec)
        return false;
    return ::unlink(from.c_str()) == 0;
}

} // namespace lumora
