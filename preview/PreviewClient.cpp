// SPDX-License-Identifier: GPL-2.0-or-later
#include "preview/PreviewClient.h"

#include "platform/DescriptorIo.h"
#include "platform/ProgramFolders.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace lumora::preview {
namespace {

std::string& HelperOverride() {
    static std::string path;
    return path;
}

int64_t NowMs() {
    struct timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Owns a descriptor.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { Reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return m_fd; }
    void Reset() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

// The helper process: started with one end of a socket as its stdin and stdout, stderr on
// /dev/null, no other descriptor of the program, the default signal handling and nothing
// blocked.
class HelperProcess {
public:
    HelperProcess(const std::string& path, int socket) {
        posix_spawn_file_actions_t actions;
        posix_spawnattr_t attributes;
        if (posix_spawn_file_actions_init(&actions) != 0)
            return;
        if (posix_spawnattr_init(&attributes) != 0) {
            posix_spawn_file_actions_destroy(&actions);
            return;
        }
        sigset_t none;
        sigset_t all;
        sigemptyset(&none);
        sigfillset(&all);
        char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
        if (posix_spawn_file_actions_adddup2(&actions, socket, 0) == 0 &&
            posix_spawn_file_actions_adddup2(&actions, socket, 1) == 0 &&
            posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0) == 0 &&
            posix_spawn_file_actions_addclosefrom_np(&actions, 3) == 0 &&
            posix_spawnattr_setsigmask(&attributes, &none) == 0 &&
            posix_spawnattr_setsigdefault(&attributes, &all) == 0 &&
            posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) ==
                0 &&
            posix_spawn(&m_pid, path.c_str(), &actions, &attributes, argv, environ) != 0)
            m_pid = -1;
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }
    ~HelperProcess() { Kill(); }
    HelperProcess(const HelperProcess&) = delete;
    HelperProcess& operator=(const HelperProcess&) = delete;

    bool Started() const { return m_pid > 0; }

    // Waits until the deadline for the helper to end by itself, then kills it.
    int Reap(int64_t deadline) {
        while (m_pid > 0) {
            int status = 0;
            pid_t done = ::waitpid(m_pid, &status, WNOHANG);
            if (done == m_pid) {
                m_pid = -1;
                m_status = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
            } else if (done < 0 && errno != EINTR) {
                m_pid = -1;
            } else if (NowMs() >= deadline) {
                Kill();
            } else {
                struct timespec pause {
                    0, 2000000
                };
                ::nanosleep(&pause, nullptr);
            }
        }
        return m_status;
    }

    int Kill() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            int status = 0;
            while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
            }
            m_status = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
            m_pid = -1;
        }
        return m_status;
    }

private:
    pid_t m_pid = -1;
    int m_status = -1;
};

enum class Io { Done, Closed, TimedOut, Failed };

// Waits for `events` on the socket until the deadline.
Io WaitFor(int fd, short events, int64_t deadline) {
    for (;;) {
        const int64_t left = deadline - NowMs();
        if (left <= 0)
            return Io::TimedOut;
        struct pollfd entry {
            fd, events, 0
        };
        const int ready = ::poll(&entry, 1, int(std::min<int64_t>(left, 1000)));
        if (ready > 0)
            return Io::Done;
        if (ready < 0 && errno != EINTR)
            return Io::Failed;
    }
}

Io SendAll(int fd, const uint8_t* data, size_t size, int64_t deadline) {
    while (size > 0) {
        const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            data += sent;
            size -= size_t(sent);
        } else if (sent < 0 && errno == EPIPE) {
            return Io::Closed;
        } else if (sent < 0 && errno != EAGAIN && errno != EINTR) {
            return Io::Failed;
        } else if (Io waited = WaitFor(fd, POLLOUT, deadline); waited != Io::Done) {
            return waited;
        }
    }
    return Io::Done;
}

Io ReceiveAll(int fd, uint8_t* data, size_t size, int64_t deadline) {
    while (size > 0) {
        const ssize_t got = ::recv(fd, data, size, MSG_DONTWAIT);
        if (got > 0) {
            data += got;
            size -= size_t(got);
        } else if (got == 0 || (got < 0 && errno == ECONNRESET)) {
            return Io::Closed;
        } else if (errno != EAGAIN && errno != EINTR) {
            return Io::Failed;
        } else if (Io waited = WaitFor(fd, POLLIN, deadline); waited != Io::Done) {
            return waited;
        }
    }
    return Io::Done;
}

// Streams `count` bytes of the picture after the request's header.
Io SendPicture(int socket, int pictureFd, uint64_t count, int64_t deadline) {
    std::vector<uint8_t> buffer(64 * 1024);
    while (count > 0) {
        const size_t piece = std::min<uint64_t>(count, buffer.size());
        if (!ReadAll(pictureFd, buffer.data(), piece)) // the file shrank or cannot be read
            return Io::Failed;
        if (Io sent = SendAll(socket, buffer.data(), piece, deadline); sent != Io::Done)
            return sent;
        count -= piece;
    }
    return Io::Done;
}

HelperOutcome OutcomeOf(Io failure) {
    switch (failure) {
    case Io::Closed:
        return HelperOutcome::Ended;
    case Io::TimedOut:
        return HelperOutcome::TimedOut;
    case Io::Failed:
    case Io::Done:
        break;
    }
    return HelperOutcome::NotRun;
}

HelperOutcome Exchange(int socket, int pictureFd, const RequestHeader& request, int64_t deadline,
                       HelperReply& reply) {
    const std::vector<uint8_t> header = EncodeRequestHeader(request);
    if (header.empty())
        return HelperOutcome::NotRun;
    Io io = SendAll(socket, header.data(), header.size(), deadline);
    if (io == Io::Done)
        io = SendPicture(socket, pictureFd, request.byteCount, deadline);
    if (io != Io::Done)
        return OutcomeOf(io);
    ::shutdown(socket, SHUT_WR);

    uint8_t answer[kResponseHeaderSize];
    io = ReceiveAll(socket, answer, sizeof answer, deadline);
    if (io != Io::Done)
        return OutcomeOf(io);
    std::optional<ResponseHeader> decoded =
        DecodeResponseHeader(answer, sizeof answer, request.maxWidth, request.maxHeight);
    if (!decoded)
        return HelperOutcome::BadReply;
    if (!decoded->hasPreview)
        return HelperOutcome::NoPreview;
    reply.header = *decoded;
    reply.pixels.resize(size_t(decoded->PixelBytes()));
    io = ReceiveAll(socket, reply.pixels.data(), reply.pixels.size(), deadline);
    if (io != Io::Done) {
        reply.pixels.clear();
        return io == Io::Closed ? HelperOutcome::BadReply : OutcomeOf(io);
    }
    return HelperOutcome::Preview;
}

bool IsExecutable(const std::string& path) {
    return !path.empty() && ::access(path.c_str(), X_OK) == 0;
}

} // namespace

std::string PreviewHelperPath() {
    if (!HelperOverride().empty())
        return HelperOverride();
    const std::string folder = ExecutableFolder();
    if (folder.empty())
        return std::string();
    for (const char* relative : {"/lumora-preview", "/../libexec/lumora/lumora-preview"}) {
        if (IsExecutable(folder + relative))
            return folder + relative;
    }
    return std::string();
}

void SetPreviewHelperOverride(const std::string& path) {
    HelperOverride() = path;
}

HelperReply RunPreviewHelper(const std::string& helper, int pictureFd, const RequestHeader& request,
                             int timeoutMs) {
    HelperReply reply;
    if (helper.empty())
        return reply;
    const int64_t deadline = NowMs() + timeoutMs;
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return reply;
    Fd ours(ends[0]);
    Fd theirs(ends[1]);
    HelperProcess process(helper, theirs.Get());
    theirs.Reset();
    if (!process.Started())
        return reply;

    reply.outcome = Exchange(ours.Get(), pictureFd, request, deadline, reply);
    ours.Reset();
    // A helper that answered ends by itself; one that broke the protocol or ran out of
    // time is killed at once.
    const bool answered = reply.outcome == HelperOutcome::Preview ||
                          reply.outcome == HelperOutcome::NoPreview ||
                          reply.outcome == HelperOutcome::Ended;
    reply.status = answered ? process.Reap(deadline) : process.Kill();
    if (reply.outcome == HelperOutcome::Ended && reply.status == 128 + SIGKILL &&
        NowMs() >= deadline)
        reply.outcome = HelperOutcome::TimedOut;
    return reply;
}

} // namespace lumora::preview
