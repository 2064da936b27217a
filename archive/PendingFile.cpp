// SPDX-License-Identifier: GPL-2.0-or-later
#include "archive/PendingFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

namespace lumora {
namespace {

constexpr size_t kWriteBufferSize = 256 * 1024;
constexpr int kNameAttempts = 100;

std::string RandomSuffix() {
    static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    unsigned char bytes[8] = {};
    if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes))
        return std::to_string(::getpid()) + "-" + std::to_string(bytes[0]);
    std::string suffix;
    for (unsigned char b : bytes)
        suffix += kDigits[b % (sizeof kDigits - 1)];
    return suffix;
}

// A short name in the destination's folder, so long destination names still fit.
std::string TempNameBeside(const std::string& destination) {
    auto slash = destination.rfind('/');
    std::string folder =
        slash == std::string::npos ? std::string() : destination.substr(0, slash + 1);
    return folder + ".lumora-part-" + RandomSuffix();
}

} // namespace

bool PendingFile::Create() {
    Discard();
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string candidate = TempNameBeside(m_destination);
        // O_EXCL never follows or reuses an existing name; 0666 lets the umask decide.
        int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        m_stream = ::fdopen(fd, "wb");
        if (m_stream == nullptr) {
            ::close(fd);
            ::unlink(candidate.c_str());
            return false;
        }
        m_tempPath = candidate;
        m_buffer.resize(kWriteBufferSize);
        std::setvbuf(m_stream, m_buffer.data(), _IOFBF, m_buffer.size());
        return true;
    }
    return false;
}

bool PendingFile::Write(const void* data, size_t length) {
    return m_stream != nullptr && std::fwrite(data, 1, length, m_stream) == length;
}

bool PendingFile::Commit() {
    if (m_stream == nullptr)
        return false;
    bool ok = std::fclose(m_stream) == 0;
    m_stream = nullptr;
    if (!ok || ::rename(m_tempPath.c_str(), m_destination.c_str()) != 0) {
        Discard();
        return false;
    }
    m_tempPath.clear();
    return true;
}

void PendingFile::Discard() {
    if (m_stream != nullptr) {
        std::fclose(m_stream);
        m_stream = nullptr;
    }
    if (!m_tempPath.empty()) {
        ::unlink(m_tempPath.c_str());
        m_tempPath.clear();
    }
}

} // namespace lumora
